// Exports of modes/: applying a refresh-rate choice and the registry
// helpers behind it.
#pragma once

#include "platform/win32.h"

// One chosen mode: the CRT resolution as a ModeCode, the rate, and the
// desktop as it is now at that rate.
struct ModeRequest {
  LONG ModeCode;
  LONG RefreshHz;
  DEVMODEA DevMode; // dmSize 148: the Windows 95 / NT 4.0 form
};

// Exports from registry.cpp.

extern DWORD ShowAllModesOn;     // last ReadShowAllModes found "ON"
extern DWORD ShowAllModesWanted; // what WriteShowAllModes writes

// Reads the first byte of a value into `value` (zero-extended).  Returns 0
// and leaves `value` untouched when the key or value is missing, the data
// exceed 255 bytes or hold no byte at all.
BOOL ReadRegistryByte(HKEY root, LPCSTR subKey, LPCSTR name, DWORD *value);
// Reads a value of up to 255 bytes into `buffer` and terminates it after
// the bytes read, whatever they hold.  Returns 0 and leaves `buffer`
// untouched on failure.
BOOL ReadRegistryString(HKEY root, LPCSTR subKey, LPCSTR name,
                        char buffer[256]);
// Opens an existing key with `access` and sets one value.  Returns 1 when
// the value was set; never creates a key.
BOOL WriteRegistryValue(HKEY root, LPCSTR subKey, REGSAM access, LPCSTR name,
                        DWORD type, const BYTE *data, DWORD length);
// Sets ShowAllModesOn from the switch driver's "ShowAllModes" text ("ON" in
// any case).  Returns 0 when the key or value cannot be read.
BOOL ReadShowAllModes(void);
// Writes "ON" or "OFF" by ShowAllModesWanted.  Returns 0 when the key
// cannot be opened for writing or the value is refused.
BOOL WriteShowAllModes(void);

// Exports from apply.cpp.

// Fills `desktop` afresh: dmSize 148, the four display fields, and the
// screen's width, height, depth and refresh rate.  Returns 0, leaving those
// four at 0, when no screen DC can be had.
BOOL DescribeDesktop(DEVMODEA *desktop);
// Applies a menu choice by the path of the platform and driver generation,
// switching an idle CRT on first.  Returns 1 on success, 0 on failure.
BOOL ApplyRefreshChoice(LONG modeCode, LONG refreshHz);
// The four paths; each returns 1 on success and 0 on failure, and leaves
// `request` as it was.
BOOL ApplyWin9xLegacy(const ModeRequest &request);
BOOL ApplyWin9xSwitch(const ModeRequest &request);
BOOL ApplyNt4Legacy(const ModeRequest &request);
BOOL ApplyNt4Switch(const ModeRequest &request);
// Whether the driver should show the same image on panel and CRT ("ON",
// 1) or not ("OFF", 0) for a choice on the legacy Windows 9x path.
BOOL ChooseSameImage(LONG modeCode, LONG refreshHz, DWORD desktopHeight);
