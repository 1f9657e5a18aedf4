// Contract cases of strings and resources: wsprintfA's formats and limit,
// lstrlenA, lstrcmpiA, and LoadStringA's cut of a code page 950 title.
#include <cstring>

#include "resources/resource.h"
#include "tests/contract/contract.h"

namespace {

// lstrcmpiA's order as -1, 0 or 1.
long Sign(int order) { return order < 0 ? -1 : order > 0; }

} // namespace

void StringCases() {
  // wsprintfA with the program's formats, then past its limit of 1024
  // bytes; lstrlenA; lstrcmpiA's order of "ON" and five others.
  Run("wsprintf-lstrlen-lstrcmpi", [] {
    char buffer[1100];
    CHECK(wsprintfA(buffer, "%s|%lu|%s", "OFF", DWORD(4294967295u), "ON"), 17);
    Check("wsprintfA: buffer", buffer, "OFF|4294967295|ON");
    CHECK(wsprintfA(buffer, "%s", std::string(2000, 'x').c_str()), 1024);
    Check("wsprintfA(2000 x): strlen(buffer)", strlen(buffer), 1023);
    CHECK(lstrlenA("ON"), 2);
    CHECK(lstrlenA(buffer), 1023);
    CHECK(lstrlenA(""), 0);
    CHECK(Sign(lstrcmpiA("ON", "on")), 0);
    CHECK(Sign(lstrcmpiA("ON", "ON ")), -1);
    CHECK(Sign(lstrcmpiA("ON", "OFF")), 1);
    CHECK(Sign(lstrcmpiA("ON", "oM")), 1);
    CHECK(Sign(lstrcmpiA("ON", "oo")), -1);
  });
  // LoadStringA of the title (CP950 4352542fc461b1bea6a1a7ebbc76bef7) into
  // '#'-filled buffers of 64, 16, 6 and 1 bytes, then of an unknown
  // string: each answer and the bytes up to one past the terminator.
  Run("loadstring-cp950-truncation", [] {
    const struct {
      const char *call;
      UINT id;
      int size;
      long answer;
      const char *bytes;
    } loads[] = {
        {"LoadStringA(title, 64)", IDS_APP_TITLE, 64, 16,
         "4352542fc461b1bea6a1a7ebbc76bef70023"},
        {"LoadStringA(title, 16)", IDS_APP_TITLE, 16, 14,
         "4352542fc461b1bea6a1a7ebbc760023"},
        {"LoadStringA(title, 6)", IDS_APP_TITLE, 6, 4, "4352542f0023"},
        {"LoadStringA(title, 1)", IDS_APP_TITLE, 1, 0, "0023"},
        {"LoadStringA(9999, 64)", 9999, 64, 0, "0023"},
    };
    for (const auto &load : loads) {
      char buffer[64];
      memset(buffer, '#', sizeof buffer);
      long n = Check(load.call,
                     LoadStringA(WorldInstance(), load.id, buffer, load.size),
                     load.answer);
      Check(std::string(load.call) + ": buffer", Hex(buffer, n + 2),
            load.bytes);
    }
  });
}
