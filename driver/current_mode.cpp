// The CRT mode in force, read through the switch-capable driver.
#include "driver/driver.h"
#include "modes/modes.h"
#include "platform/state.h"

namespace {

// The NT 4.0 switch driver numbers its modes 1-5; the rest of the program
// speaks the Windows 9x switch numbering.  Its fifth mode has no menu entry.
WORD SwitchCodeOfNtMode(WORD number) {
  for (const CrtResolution &r : CrtResolutions)
    if (r.NtModeNumber == number)
      return static_cast<WORD>(r.SwitchModeCode);
  return number == 5 ? 16 : number;
}

} // namespace

void QueryCurrentCrtMode(WORD *mode, DWORD *refresh, DWORD colorDepth) {
  // The driver lists only the modes the attached monitor reports unless
  // "ShowAllModes" is on; the menu needs the full answer.
  ReadShowAllModes();
  if (!ShowAllModesOn) {
    ShowAllModesWanted = 1;
    WriteShowAllModes();
  }

  GetModeNumber(mode);
  DriverMode record = {0, 0, *mode, colorDepth, *refresh};
  if (PlatformClass == PlatformNT4)
    *mode = SwitchCodeOfNtMode(*mode);
  // A number outside the table (the fifth NT mode, 0, anything unexpected)
  // has no resolution: the record then carries width and height 0.
  for (const CrtResolution &r : CrtResolutions) {
    if (r.SwitchModeCode == *mode) {
      record.dwWidth = r.Width;
      record.dwHeight = r.Height;
    }
  }

  DWORD rates[20];
  GetRefreshRates(1, &record, refresh, rates);
}
