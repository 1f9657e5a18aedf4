// Contract cases of the registry: keys missing, in another letter case,
// with an empty or doubled name or reserved options; access through read
// and write handles; values stored and read back as the program does.
#include <cstring>

#include "tests/contract/contract.h"

namespace {

const HKEY HKCC = HKEY_CURRENT_CONFIG;

HKEY Contract(REGSAM access) {
  HKEY key = NULL;
  RegOpenKeyExA(HKCC, "Contract", 0, access, &key);
  return key;
}

// Closes the key that a checked RegOpenKeyExA opened.
void Opened(LONG status, const HKEY *key) {
  if (status == ERROR_SUCCESS)
    RegCloseKey(*key);
}

// Stores `count` bytes of `data` as "ShowAllModes", as the program writes,
// and reads them back under another letter case into a '#'-filled buffer
// of `buffer` bytes (-1: no buffer): the query's status, the size and type
// it reports and the buffer's first six bytes.
struct Query {
  const char *name;
  DWORD type;
  const char *data;
  DWORD count;
  int buffer;
  long status, size;
  const char *bytes, *sizeMark = nullptr, *bytesMark = nullptr;
};

const Query kQueries[] = {
    {"reg-query-sz", REG_SZ, "OFF#", 3, 16, 0, 3, "4f4646232323", nullptr,
     "stricter on purpose: NT (and Wine) write a NUL after a REG_SZ when the "
     "buffer has room (Wine's dlls/advapi32/tests/registry.c, "
     "test_string_termination); no source shows Windows 95/98 doing so, and "
     "the simulation copies the stored bytes only, so that a reader that "
     "does not end what it read fails the checks"},
    {"reg-query-sz-exact-size", REG_SZ, "OFF#", 3, 3, 0, 3, "4f4646232323"},
    {"reg-query-sz-small-buffer", REG_SZ, "OFF#", 3, 2, 234, 3, "232323232323"},
    {"reg-query-no-buffer", REG_SZ, "OFF#", 3, -1, 0, 3, "232323232323"},
    {"reg-query-sz-with-nul", REG_SZ, "ON\0#", 3, 16, 0, 3, "4f4e00232323"},
    {"reg-query-zero-length", REG_SZ, "#", 0, 16, 0, 0, "232323232323"},
    {"reg-query-binary", REG_BINARY, "\x08\0#", 2, 16, 0, 2, "080023232323"},
    {"reg-query-binary-small-buffer", REG_BINARY, "\x08\x07\x06#", 3, 2, 234, 3,
     "232323232323"},
    {"reg-set-counts-bytes-before-a-nul", REG_SZ, "ON", 2, -1, 0, 2,
     "232323232323",
     "stricter on purpose: Windows stores the NUL that follows a text "
     "counted without it (NT adds it: Wine's dlls/advapi32/tests/"
     "registry.c, test_string_termination; Windows 95/98 store a text with "
     "its NUL whatever the count: the same test's older Win9x answers); the "
     "simulation keeps the bytes counted, so that the checks see the count "
     "the program passed and a reader that relies on the NUL fails them"},
};

void SetAndQuery(const Query &q) {
  HKEY key = Contract(KEY_WRITE);
  Check("RegSetValueExA(\"ShowAllModes\")",
        RegSetValueExA(key, "ShowAllModes", 0, q.type,
                       reinterpret_cast<const BYTE *>(q.data), q.count),
        0);
  RegCloseKey(key);
  key = Contract(KEY_QUERY_VALUE);
  BYTE bytes[16];
  memset(bytes, '#', sizeof bytes);
  DWORD size = q.buffer < 0 ? 0 : DWORD(q.buffer), type = 99;
  std::string query = "RegQueryValueExA(\"SHOWALLMODES\")";
  Check(query,
        RegQueryValueExA(key, "SHOWALLMODES", NULL, &type,
                         q.buffer < 0 ? NULL : bytes, &size),
        q.status);
  RegCloseKey(key);
  Check(query + " size", size, q.size, q.sizeMark);
  Check(query + " type", type, q.type);
  Check(query + " buffer", Hex(bytes, 6), q.bytes, q.bytesMark);
}

} // namespace

void RegistryCases() {
  Run("reg-open-missing-letter-case-empty-name", [] {
    HKEY parent = Contract(KEY_READ), key;
    Opened(CHECK(RegOpenKeyExA(parent, "", 0, KEY_READ, &key), 0), &key);
    RegCloseKey(parent);
    Opened(CHECK(RegOpenKeyExA(HKCC, "Contract\\No", 0, KEY_READ, &key), 2),
           &key);
    Opened(CHECK(RegOpenKeyExA(HKCC, "CONTRACT", 0, KEY_READ, &key), 0), &key);
  });
  Run("reg-open-reserved-options", [] {
    HKEY key;
    Opened(CHECK(RegOpenKeyExA(HKCC, "Contract", 1, KEY_READ, &key), 87,
                 "stricter on purpose: the RegOpenKeyEx page of the Windows "
                 "API reference of that time calls ulOptions reserved and to "
                 "be zero, without saying what another value does; Wine "
                 "takes any (ntdll's NtOpenKeyEx only notes it), the "
                 "simulation refuses it so that a program passing one fails "
                 "its checks"),
           &key);
  });
  Run("reg-open-doubled-backslash", [] {
    HKEY key;
    Opened(CHECK(RegOpenKeyExA(HKCC, "Display\\\\Settings", 0, KEY_READ, &key),
                 2,
                 "stricter on purpose: no source shows what Windows 95/98 or "
                 "NT 4.0 make of an empty name between two backslashes; later "
                 "Windows takes them as one (Wine's dlls/ntdll/tests/reg.c, "
                 "test_NtCreateKey), as Wine does; the simulation finds no "
                 "such key, so that a path built with an empty adapter name "
                 "is seen to fail rather than to write elsewhere"),
           &key);
  });
  // A write through a read handle, a read through a write handle, a
  // missing value, a handle closed twice.
  Run("reg-access-and-handles", [] {
    const BYTE on[] = {'O', 'N'};
    HKEY reader = Contract(KEY_READ), writer = Contract(KEY_WRITE);
    DWORD size = 0;
    CHECK(RegSetValueExA(reader, "X", 0, REG_SZ, on, 2), 5);
    CHECK(RegSetValueExA(writer, "X", 0, REG_SZ, on, 2), 0);
    CHECK(RegQueryValueExA(writer, "X", NULL, NULL, NULL, &size), 5);
    CHECK(RegQueryValueExA(reader, "Other", NULL, NULL, NULL, &size), 2);
    RegCloseKey(reader);
    CHECK(RegCloseKey(writer), 0);
    CHECK(RegCloseKey(writer), 6);
  });
  for (const Query &q : kQueries)
    Run(q.name, [&] { SetAndQuery(q); });
}
