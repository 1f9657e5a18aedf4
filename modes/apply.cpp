// Applying a refresh-rate choice: the desktop stays as it is, only its
// frequency and the CRT mode behind it change.
#include "driver/driver.h"
#include "modes/modes.h"
#include "platform/state.h"

namespace {

// The Windows 95 / NT 4.0 size of DEVMODEA, which their display drivers
// expect; the members after dmReserved2 came later.
enum : WORD { DevModeWin95Size = 148 };

enum : DWORD { PathSize = 1024 }; // wsprintfA writes at most 1024 bytes

// Guards the mode enumeration against a driver that never says "no more".
enum : DWORD { MaxEnumeratedModes = 4096 };

const char DisplaySettingsKey[] = "Display\\Settings";

const CrtResolution *FindResolution(LONG modeCode) {
  for (const CrtResolution &r : CrtResolutions)
    if (static_cast<LONG>(r.ModeCode) == modeCode)
      return &r;
  return NULL;
}

BOOL WriteText(HKEY root, LPCSTR subKey, LPCSTR name, LPCSTR text) {
  // Texts go in without a terminating NUL, as the display driver reads them.
  return WriteRegistryValue(root, subKey, KEY_WRITE, name, REG_SZ,
                            reinterpret_cast<const BYTE *>(text),
                            static_cast<DWORD>(lstrlenA(text)));
}

// The two switch-driver paths: the CRT mode and rate go to the driver by
// escape, then the desktop is re-applied so the system picks them up.
BOOL ApplySwitchPath(const ModeRequest &request, BOOL nt) {
  const CrtResolution *resolution = FindResolution(request.ModeCode);
  if (resolution == NULL)
    return FALSE;
  DWORD number = nt ? resolution->NtModeNumber : resolution->SwitchModeCode;
  DriverMode mode = {resolution->Width, resolution->Height, number,
                     request.DevMode.dmBitsPerPel,
                     static_cast<DWORD>(request.RefreshHz)};
  SetModeNumber(number);
  SetRefreshRates(&mode);
  DEVMODEA devMode = request.DevMode;
  ChangeDisplaySettingsA(&devMode, nt ? CDS_UPDATEREGISTRY | CDS_RESET
                                      : CDS_UPDATEREGISTRY);
  return TRUE;
}

} // namespace

BOOL DescribeDesktop(DEVMODEA *desktop) {
  *desktop = DEVMODEA();
  desktop->dmSize = DevModeWin95Size;
  desktop->dmDriverExtra = 0;
  desktop->dmFields =
      DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  HDC screen = GetDC(NULL);
  if (screen == NULL)
    return FALSE;
  desktop->dmPelsWidth = static_cast<DWORD>(GetDeviceCaps(screen, HORZRES));
  desktop->dmPelsHeight = static_cast<DWORD>(GetDeviceCaps(screen, VERTRES));
  // Drivers that keep a 16-colour desktop in four planes answer BITSPIXEL
  // 1 and PLANES 4; the depth is their product (Knowledge Base Q139202).
  desktop->dmBitsPerPel = static_cast<DWORD>(GetDeviceCaps(screen, BITSPIXEL) *
                                             GetDeviceCaps(screen, PLANES));
  desktop->dmDisplayFrequency =
      static_cast<DWORD>(GetDeviceCaps(screen, VREFRESH));
  ReleaseDC(NULL, screen);
  // A screen measured as nothing wide, high or deep was not measured.
  return desktop->dmPelsWidth != 0 && desktop->dmPelsHeight != 0 &&
         desktop->dmBitsPerPel != 0;
}

BOOL ChooseSameImage(LONG modeCode, LONG refreshHz, DWORD desktopHeight) {
  if (refreshHz != 60)
    return TRUE;
  if (PanelIsSvga) {
    if (modeCode == 5 && (desktopHeight == 480 || desktopHeight == 600))
      return TRUE;
    if (modeCode == 8 && desktopHeight == 768)
      return TRUE;
    return FALSE;
  }
  if (PanelIsXga && modeCode == 8)
    return FALSE;
  return TRUE;
}

BOOL ApplyWin9xLegacy(const ModeRequest &request) {
  const DEVMODEA &dm = request.DevMode;

  // The adapter's default rate is kept aside and put back after the mode
  // change, which may store the new rate there too: only the one desktop
  // mode's rate is meant to change.  (A path that could not be formatted
  // is never used: an empty one would name the root key itself.)
  char defaultKey[PathSize];
  if (wsprintfA(defaultKey,
                "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\%s\\"
                "Default",
                DriverKeyName) <= 0)
    return FALSE;
  char savedDefaultRefresh[256];
  if (!ReadRegistryString(HKEY_LOCAL_MACHINE, defaultKey, "RefreshRate",
                          savedDefaultRefresh)) {
    savedDefaultRefresh[0] = '6';
    savedDefaultRefresh[1] = '0';
    savedDefaultRefresh[2] = 0;
  }

  BYTE resolution = static_cast<BYTE>(request.ModeCode);
  if (!WriteRegistryValue(HKEY_CURRENT_CONFIG, DisplaySettingsKey, KEY_WRITE,
                          "CRTResolution", REG_BINARY, &resolution, 1))
    return FALSE;

  char sameImage[8];
  if (wsprintfA(
          sameImage, "%s",
          ChooseSameImage(request.ModeCode, request.RefreshHz, dm.dmPelsHeight)
              ? "ON"
              : "OFF") <= 0 ||
      !WriteText(HKEY_CURRENT_CONFIG, DisplaySettingsKey, "Pairlux_SameImage",
                 sameImage))
    return FALSE;

  char modeKey[PathSize];
  char rate[16];
  if (wsprintfA(modeKey,
                "System\\CurrentControlSet\\Services\\Class\\Display\\%s\\"
                "MODES\\%lu\\%lu,%lu",
                DriverKeyName, dm.dmBitsPerPel, dm.dmPelsWidth,
                dm.dmPelsHeight) <= 0 ||
      wsprintfA(rate, "%lu", dm.dmDisplayFrequency) <= 0 ||
      !WriteText(HKEY_LOCAL_MACHINE, modeKey, "RefreshRate", rate))
    return FALSE;

  // ChangeDisplaySettingsA takes a record it may write to.
  DEVMODEA devMode = request.DevMode;
  ChangeDisplaySettingsA(&devMode, CDS_UPDATEREGISTRY);
  WriteText(HKEY_LOCAL_MACHINE, defaultKey, "RefreshRate", savedDefaultRefresh);
  return TRUE;
}

BOOL ApplyWin9xSwitch(const ModeRequest &request) {
  return ApplySwitchPath(request, FALSE);
}

BOOL ApplyNt4Switch(const ModeRequest &request) {
  return ApplySwitchPath(request, TRUE);
}

BOOL ApplyNt4Legacy(const ModeRequest &request) {
  const DEVMODEA &dm = request.DevMode;
  // The legacy driver numbers its CRT modes like the menu.
  SetModeNumber(static_cast<DWORD>(request.ModeCode));

  // Enumerating from index 0 makes NT ask the driver for its mode list
  // afresh instead of using the list cached before the CRT mode changed.
  for (DWORD i = 0; i < MaxEnumeratedModes; ++i) {
    DEVMODEA scratch = {};
    scratch.dmSize = DevModeWin95Size;
    if (!EnumDisplaySettingsA(NULL, i, &scratch))
      break;
    if (scratch.dmBitsPerPel == dm.dmBitsPerPel &&
        (scratch.dmPelsWidth != dm.dmPelsWidth ||
         scratch.dmPelsHeight != dm.dmPelsHeight ||
         scratch.dmDisplayFrequency != dm.dmDisplayFrequency))
      break;
  }

  // CDS_RESET: width, height and depth equal those in force, and without
  // it NT would decide there is nothing to change.
  DEVMODEA devMode = request.DevMode;
  LONG result =
      ChangeDisplaySettingsA(&devMode, CDS_UPDATEREGISTRY | CDS_RESET);
  return result == DISP_CHANGE_SUCCESSFUL;
}

BOOL ApplyRefreshChoice(LONG modeCode, LONG refreshHz) {
  ModeRequest request;
  request.ModeCode = modeCode;
  request.RefreshHz = refreshHz;
  // Without the screen's measurements the request would ask for a 0x0
  // desktop; better to change nothing and say so.
  if (!DescribeDesktop(&request.DevMode))
    return FALSE;
  request.DevMode.dmDisplayFrequency = static_cast<DWORD>(refreshHz);

  RefreshDisplayState();
  if (!CrtActive && CrtIdle)
    SetActiveDisplays(DisplayCrt | DisplayLcd, 0);

  BOOL applied = FALSE;
  if (PlatformClass == PlatformWin9x)
    applied = SwitchDriverPresent ? ApplyWin9xSwitch(request)
                                  : ApplyWin9xLegacy(request);
  else if (PlatformClass == PlatformNT4)
    applied =
        SwitchDriverPresent ? ApplyNt4Switch(request) : ApplyNt4Legacy(request);
  return applied ? TRUE : FALSE;
}
