// What the simulated notebook adds to Win32, which Windows itself cannot
// show: registry keys a scenario locks or names oddly, the display driver's
// reply discipline and fault injection; and that sim/win32.h declares what
// the list of calls (sim/calls.def) says it offers.  The Win32 answers it
// shares with Windows are held against Wine by the contract suite
// (tests/contract/).
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "harness/test_support.h"

namespace {

// ---------------------------------------------------------------- registry

// What only scenarios can set up: keys locked against writing, and a key
// whose name is empty (the Windows 9x display class path with no adapter
// name).  The Win32 answers themselves are in tests/contract/.
TEST(SimRegistry, ScenarioKeysLockedOrWithAnEmptyName) {
  struct Case {
    const char *path;
    REGSAM access;
    LONG status;
  };
  const Case cases[] = {
      {"Display\\Locked", KEY_QUERY_VALUE, ERROR_SUCCESS},
      {"Display\\Locked", KEY_SET_VALUE, ERROR_ACCESS_DENIED},
      {"Display\\Locked", KEY_CREATE_SUB_KEY, ERROR_ACCESS_DENIED},
      {"Display\\Locked", KEY_WRITE, ERROR_ACCESS_DENIED},
      {"Empty\\\\Name", KEY_READ, ERROR_SUCCESS},
      {"Empty\\Name", KEY_READ, ERROR_FILE_NOT_FOUND},
  };
  for (const Case &c : cases) {
    SimReset();
    GIVEN("locked HKCC \"Display\\\\Locked\"\n"
          "key HKCC \"Empty\\\\\\\\Name\"");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_CONFIG, c.path, 0, c.access, &key),
              c.status)
        << c.path << " " << c.access;
    RegCloseKey(key);
    EXPECT_EQ(SimOpen().key, 0) << c.path;
  }
}

// ---------------------------------------------------------- display driver

struct Escape {
  std::vector<DWORD> in;
  int replySize;
};

int Send(const Escape &e, std::vector<BYTE> *reply) {
  HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  reply->assign(e.replySize + 4, 0xEE);
  int result = ExtEscape(dc, 0x3000, static_cast<int>(4 * e.in.size()),
                         reinterpret_cast<LPCSTR>(e.in.data()), e.replySize,
                         reinterpret_cast<LPSTR>(reply->data()));
  DeleteDC(dc);
  return result;
}

TEST(SimDriver, RepliesOnlyAtExactSizesWhateverTheResult) {
  struct Case {
    const char *given;
    Escape escape;
    int result;
    std::vector<BYTE> reply; // the reply buffer, 4 guard bytes included
  };
  const std::vector<BYTE> untouched8(8, 0xEE);
  const std::vector<BYTE> three = {3, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE};
  const Case cases[] = {
      {"attached 3", {{7}, 4}, 1, three},
      {"attached 3", {{7}, 8}, 0, std::vector<BYTE>(12, 0xEE)},
      {"attached 3", {{7, 0}, 4}, 0, untouched8},
      {"attached 3\nresult 7 0", {{7}, 4}, 0, three},
      {"attached 3\nresult 7 2", {{7}, 4}, 2, three},
      {"attached 3\ndriver missing", {{7}, 4}, 0, untouched8},
      {"panel 1024", {{0}, 6}, 1, {0, 4, 0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE}},
      {"reply 0 0x11223344 0x55667788",
       {{0}, 6},
       1,
       {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0xEE, 0xEE, 0xEE, 0xEE}},
      {"", {{99}, 4}, 0, untouched8},
  };
  for (const Case &c : cases) {
    SimReset();
    GIVEN(c.given);
    std::vector<BYTE> reply;
    EXPECT_EQ(Send(c.escape, &reply), c.result) << c.given;
    EXPECT_EQ(reply, c.reply) << c.given;
    EXPECT_EQ(SimOpen().dc, 0);
  }
}

TEST(SimDriver, RequestsChangeStateOnlyWhenAnsweredOne) {
  SimReset();
  std::vector<BYTE> reply;
  GIVEN("result 10 0");
  EXPECT_EQ(Send({{10, 6}, 0}, &reply), 0);
  EXPECT_EQ(SimDriver().mode, 0u);
  GIVEN("result 10 1");
  EXPECT_EQ(Send({{10, 6}, 0}, &reply), 1);
  EXPECT_EQ(SimDriver().mode, 6u);
  EXPECT_EQ(Send({{2, 1, 0}, 0}, &reply), 1);
  EXPECT_EQ(SimDriver().active, 1u);
  EXPECT_EQ(Send({{66, 800, 600, 6, 16, 75}, 0}, &reply), 1);
  EXPECT_EQ(SimDriver().refresh, 75u);
  EXPECT_EQ(SimTakeTranscript(), "escape 10 6 -> 0\n"
                                 "escape 10 6 -> 1\n"
                                 "escape 2 1 0 -> 1\n"
                                 "escape 66 800 600 6 16 75 -> 1\n");
}

// ---------------------------------------------------------------- faults

TEST(SimFaults, NthCallOrEveryCall) {
  struct Case {
    const char *given;
    std::vector<bool> opened; // CreateDCA succeeded, call by call
  };
  const Case cases[] = {
      {"", {true, true, true}},
      {"fail CreateDCA 2", {true, false, true}},
      {"fail CreateDCA 1\nfail CreateDCA 3", {false, true, false}},
      {"fail CreateDCA", {false, false, false}},
  };
  for (const Case &c : cases) {
    SimReset();
    GIVEN(c.given);
    for (size_t i = 0; i < c.opened.size(); ++i) {
      HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
      EXPECT_EQ(dc != nullptr, c.opened[i]) << c.given << " call " << i + 1;
      DeleteDC(dc);
    }
    EXPECT_EQ(SimCallCount("CreateDCA"), 3);
  }
  SimReset();
  std::string error;
  EXPECT_FALSE(SimApplyStatement("fail NoSuchFunction", &error));
  GIVEN("fail RegOpenKeyExA\nkey HKLM \"K\"");
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, &key),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(key, reinterpret_cast<HKEY>(1)); // nothing written
}

// ----------------------------------------------------------- the list

// sim/core.cpp takes the address of every simulated row of sim/calls.def,
// so a row that sim/win32.h does not declare fails to build; the other way,
// every function declared there is a row that sim/ offers (or WinMain's).
TEST(SimCalls, EveryWin32DeclarationIsARowOfTheSimulation) {
  std::set<std::string> listed, declared;
#define CALL(dll, function, where, held, why)                                  \
  if (std::string(#where) != "EXE")                                            \
    listed.insert(#function);
#include "sim/calls.def"
#undef CALL
  std::stringstream header;
  header << std::ifstream("sim/win32.h").rdbuf();
  std::string text = header.str();
  std::regex declaration(R"(\bWINAPIV? +(\w+)\()");
  for (std::sregex_iterator m(text.begin(), text.end(), declaration), end;
       m != end; ++m)
    declared.insert((*m)[1]);
  EXPECT_GT(declared.size(), 50u);
  for (const std::string &function : declared)
    EXPECT_TRUE(listed.count(function))
        << function << " is declared, not a row sim/ offers";
  for (const std::string &function : listed)
    EXPECT_TRUE(declared.count(function)) << function << " is not declared";
}

} // namespace
