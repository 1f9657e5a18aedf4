// Registry helpers.  Every operation opens an existing key, does one thing
// and closes the key again; no key is ever created.
#include "modes/modes.h"

DWORD ShowAllModesOn;     // the stored "ShowAllModes" text was "ON"
DWORD ShowAllModesWanted; // WriteShowAllModes writes "ON" (1) or "OFF"

namespace {

enum : DWORD { MaxValueBytes = 255 };

const char SwitchKey[] = "SOFTWARE\\Kq\\Switch";

// Reads one value of at most 255 bytes into `data` and terminates it after
// the bytes read: other writers store texts with or without a NUL, and
// RegQueryValueExA adds none of its own.
BOOL QueryValue(HKEY root, LPCSTR subKey, REGSAM access, LPCSTR name,
                BYTE data[MaxValueBytes + 1], DWORD *length) {
  HKEY key;
  if (RegOpenKeyExA(root, subKey, 0, access, &key) != ERROR_SUCCESS)
    return FALSE;
  DWORD type = 0;
  DWORD size = MaxValueBytes;
  LONG status = RegQueryValueExA(key, name, NULL, &type, data, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || size > MaxValueBytes)
    return FALSE;
  data[size] = 0;
  *length = size;
  return TRUE;
}

} // namespace

BOOL ReadRegistryByte(HKEY root, LPCSTR subKey, LPCSTR name, DWORD *value) {
  BYTE data[MaxValueBytes + 1];
  DWORD length = 0;
  if (!QueryValue(root, subKey, KEY_QUERY_VALUE, name, data, &length))
    return FALSE;
  // An empty value holds no byte to take; reading one would report
  // whatever the buffer held before as the mode in force.
  if (length == 0)
    return FALSE;
  *value = data[0];
  return TRUE;
}

BOOL ReadRegistryString(HKEY root, LPCSTR subKey, LPCSTR name,
                        char buffer[256]) {
  BYTE data[MaxValueBytes + 1];
  DWORD length = 0;
  if (!QueryValue(root, subKey, KEY_QUERY_VALUE, name, data, &length))
    return FALSE;
  for (DWORD i = 0; i <= length; ++i)
    buffer[i] = static_cast<char>(data[i]);
  return TRUE;
}

BOOL WriteRegistryValue(HKEY root, LPCSTR subKey, REGSAM access, LPCSTR name,
                        DWORD type, const BYTE *data, DWORD length) {
  HKEY key;
  if (RegOpenKeyExA(root, subKey, 0, access, &key) != ERROR_SUCCESS)
    return FALSE;
  LONG status = RegSetValueExA(key, name, 0, type, data, length);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

BOOL ReadShowAllModes(void) {
  ShowAllModesOn = 0;
  BYTE data[MaxValueBytes + 1];
  DWORD length = 0;
  if (!QueryValue(HKEY_LOCAL_MACHINE, SwitchKey, KEY_READ, "ShowAllModes", data,
                  &length))
    return FALSE;
  if (lstrcmpiA(reinterpret_cast<LPCSTR>(data), "ON") == 0)
    ShowAllModesOn = 1;
  return TRUE;
}

BOOL WriteShowAllModes(void) {
  LPCSTR text = ShowAllModesWanted ? "ON" : "OFF";
  return WriteRegistryValue(
      HKEY_LOCAL_MACHINE, SwitchKey, KEY_WRITE, "ShowAllModes", REG_SZ,
      reinterpret_cast<const BYTE *>(text), static_cast<DWORD>(lstrlenA(text)));
}
