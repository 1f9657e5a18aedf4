// The contract's starting state on Windows: the keys are made (and the
// Contract key emptied) with calls the program itself never makes; the
// screen and the missing display driver come from the machine it runs on.
#include "tests/contract/contract.h"

namespace {

void Fresh(const char *path) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_CONFIG, path, 0, NULL, 0, KEY_ALL_ACCESS,
                      NULL, &key, NULL) == ERROR_SUCCESS)
    RegCloseKey(key);
}

} // namespace

void WorldReset() {
  RegDeleteTreeA(HKEY_CURRENT_CONFIG, "Contract");
  Fresh("Contract");
  Fresh("Display\\Settings");
  RegDeleteKeyValueA(HKEY_CURRENT_CONFIG, "Display\\Settings", "RefreshRate");
}

HINSTANCE WorldInstance() { return GetModuleHandleA(NULL); }

bool WorldCalled(const char *) { return false; }
