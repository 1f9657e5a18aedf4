// Exports of driver/: the display driver's private escape, the switch-device
// probe and the query of the CRT mode in force.
#pragma once

#include "platform/win32.h"

// The display driver's private escape function number.
enum : int { DisplayControlEscape = 0x3000 };

// Bits of the 16-bit display device masks.
enum : WORD { DisplayCrt = 1, DisplayLcd = 2 };

// The driver's 20-byte mode record, carried by sub-functions 65 and 66.
struct DriverMode {
  DWORD dwWidth;
  DWORD dwHeight;
  DWORD dwModeNumber;
  DWORD dwColorDepth;
  DWORD dwRefresh;
};
static_assert(sizeof(DriverMode) == 20, "DriverMode is the driver's record");

// The four CRT resolutions in the three numberings the drivers use: the
// menu's and legacy driver's ModeCode, the Windows 9x switch driver's
// SwitchModeCode and the NT 4.0 switch driver's NtModeNumber.
struct CrtResolution {
  DWORD ModeCode;
  DWORD SwitchModeCode;
  DWORD NtModeNumber;
  DWORD Width;
  DWORD Height;
};
extern const CrtResolution CrtResolutions[4];

// Display-state flags (0 or 1), written only by RefreshDisplayState.
extern DWORD CrtActive; // CRT attached and active
extern DWORD CrtIdle;   // CRT attached, not active
extern DWORD LcdActive; // LCD attached and active

// Exports from channel.cpp (the one piece a test rig may link in its place).

// Carries one request to the display driver through a fresh display DC and
// returns the driver's result, or 0 when no DC could be created.
int SendDisplayControl(int inputSize, const void *input, int replySize,
                       void *reply);

// Exports from escape.cpp.  Each request succeeds only when the driver
// answers exactly 1; on failure its out-parameters are left untouched,
// except as noted.

// Sub-function 0: the 6-byte panel reply goes straight into `reply`, which
// keeps whatever the driver wrote even when the request fails.
BOOL GetPanelSize(BYTE reply[6]);
// Sub-function 1: active display mask (low half of reply word 0).
BOOL GetActiveDisplays(WORD *mask);
// Sub-function 2: makes `mask` the active displays; `second` is passed
// through for the driver.  Only the low 16 bits of each are sent.
BOOL SetActiveDisplays(DWORD mask, DWORD second);
// Sub-function 7: attached display mask (low half of reply word 0).
BOOL GetAttachedDisplays(WORD *mask);
// Sub-function 9: the driver's number of the CRT mode in force (low half).
BOOL GetModeNumber(WORD *number);
// Sub-function 10: selects a CRT mode by the driver's number (low 16 bits).
BOOL SetModeNumber(DWORD number);
// Sub-function 28: the driver level, all 32 bits of reply word 0.
BOOL GetDriverLevel(DWORD *level);
// Sub-function 65: the refresh rate in force for `mode` into `refresh`, and
// up to 19 further rates into `rates`, ended by 0 (room for 20 words).  On
// failure `rates` is emptied and `refresh` left as it was.
BOOL GetRefreshRates(DWORD selector, const DriverMode *mode, DWORD *refresh,
                     DWORD rates[20]);
// Sub-function 66: sets the refresh rate of the mode in `mode`.
BOOL SetRefreshRates(const DriverMode *mode);

// Rewrites CrtActive, CrtIdle and LcdActive from the attached and active
// masks; a mask the driver did not deliver counts as no device.
void RefreshDisplayState(void);

// Exports from switch_probe.cpp.

// Looks for the Windows 9x switch device.  Sets SwitchDriverPresent when
// "\\.\KqSWITCH.VXD" opens and fills DriverKeyName from its class-key
// reply; leaves both alone when neither device opens.
void ProbeSwitchDriver(void);

// Exports from current_mode.cpp.

// Reads the CRT mode in force through the switch-capable driver: forces the
// driver's "ShowAllModes" setting on, sets `mode` to a SwitchModeCode
// (converted from the NT numbering on NT 4.0) and `refresh` to the rate in
// force.  Each is left as passed in when the driver does not answer.
void QueryCurrentCrtMode(WORD *mode, DWORD *refresh, DWORD colorDepth);
