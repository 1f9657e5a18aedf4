// Contract cases of the display and GDI: the screen's measures, a display
// DC and an escape no driver answers, the listed modes and changes to them,
// and where a rate set is kept.
#include <cstdlib>

#include "tests/contract/contract.h"

namespace {

// <windows.h> has it; sim/win32.h has only what the program uses.
#ifndef CDS_TEST
#define CDS_TEST 0x2
#endif

// The listed mode of the desktop's size and depth, with the four fields
// the program sets; its rate is the list's, not GetDeviceCaps' (a virtual
// X screen lists its modes with 0), and a rate not listed is refused.
// found[0]: the mode is listed; found[1]: the list answers past its end.
DEVMODEA Listed(long *found) {
  HDC dc = GetDC(NULL);
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  for (DWORD i = 0; EnumDisplaySettingsA(NULL, i, &mode); ++i)
    if (long(mode.dmPelsWidth) == GetDeviceCaps(dc, HORZRES) &&
        long(mode.dmPelsHeight) == GetDeviceCaps(dc, VERTRES) &&
        long(mode.dmBitsPerPel) == GetDeviceCaps(dc, BITSPIXEL))
      break;
  ReleaseDC(NULL, dc);
  // Wine leaves DM_DISPLAYFREQUENCY out where the X server has no rate.
  *found = (mode.dmFields & DM_PELSWIDTH) && (mode.dmFields & DM_BITSPERPEL);
  mode.dmFields =
      DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL | DM_DISPLAYFREQUENCY;
  DEVMODEA past = mode;
  found[1] = EnumDisplaySettingsA(NULL, 5000, &past);
  return mode;
}

// The rate stored for Windows 9x, or minus RegQueryValueExA's error.
long StoredRate() {
  HKEY key = NULL;
  RegOpenKeyExA(HKEY_CURRENT_CONFIG, "Display\\Settings", 0, KEY_READ, &key);
  char rate[8] = "";
  DWORD size = sizeof rate;
  long status = RegQueryValueExA(key, "RefreshRate", NULL, NULL,
                                 reinterpret_cast<BYTE *>(rate), &size);
  RegCloseKey(key);
  return status ? -status : atol(rate);
}

} // namespace

void DisplayCases() {
  // Screen measures (the rate as Hz, or 0 or 1 for the hardware's
  // default) and a display DC, whose escapes 0x3000 and 0x3001 no driver
  // here answers, leaving the output alone.
  Run("gdi-screen-display-dc-unknown-escape", [] {
    HDC screen = GetDC(NULL);
    int hz = GetDeviceCaps(screen, VREFRESH);
    CHECK(GetDeviceCaps(screen, HORZRES), 1024);
    CHECK(GetDeviceCaps(screen, VERTRES), 768);
    CHECK(GetDeviceCaps(screen, BITSPIXEL), 16);
    CHECK(GetDeviceCaps(screen, PLANES), 1);
    Check("GetDeviceCaps(screen, VREFRESH): Hz or the default",
          hz <= 1 || (hz >= 40 && hz <= 200), 1);
    CHECK(ReleaseDC(NULL, screen), 1);
    HDC dc = CreateDCA("DISPLAY", NULL, NULL, NULL);
    DWORD in = 7, out = 0xEEEEEEEE;
    LPCSTR input = LPCSTR(&in);
    LPSTR output = LPSTR(&out);
    CHECK(ExtEscape(dc, 0x3000, 4, input, 4, output), 0);
    CHECK(ExtEscape(dc, 0x3001, 4, input, 4, output), 0);
    CHECK(GetDeviceCaps(dc, HORZRES), 1024);
    CHECK(DeleteDC(dc), 1);
    CHECK(DeleteDC(dc), 0);
    Check("ExtEscape: output", Hex(&out, 4), "eeeeeeee");
  });
  // The mode found, the list's end, then CDS_TEST and CDS_UPDATEREGISTRY |
  // CDS_RESET to it, with the rate stored after the test.
  Run("display-enum-cds-test-and-reset", [] {
    long found[2];
    DEVMODEA mode = Listed(found);
    Check("EnumDisplaySettingsA: the desktop's mode", found[0], 1);
    Check("EnumDisplaySettingsA(NULL, 5000, &mode)", found[1], 0);
    CHECK(ChangeDisplaySettingsA(&mode, CDS_TEST), 0);
    Check("RegQueryValueExA(RefreshRate) after CDS_TEST", StoredRate(), -2);
    CHECK(ChangeDisplaySettingsA(&mode, CDS_UPDATEREGISTRY | CDS_RESET), 0);
  });
  // CDS_TEST of the listed mode in a record whose dmSize is 0, then in the
  // Windows 95 / NT 4.0 form of 148 bytes, as the program sends it.
  Run("display-cds-record-size", [] {
    long found[2];
    DEVMODEA mode = Listed(found);
    mode.dmSize = 0;
    Check("ChangeDisplaySettingsA(CDS_TEST), dmSize 0",
          ChangeDisplaySettingsA(&mode, CDS_TEST), -2,
          "stricter on purpose: a record whose dmSize ends before the fields "
          "it names is refused; the ChangeDisplaySettingsA of later Windows "
          "takes a dmSize of 0 (Wine's dlls/user32/tests/monitor.c, "
          "test_ChangeDisplaySettingsEx), and no source shows what Windows "
          "95 and NT 4.0 make of it");
    mode.dmSize = 148;
    Check("ChangeDisplaySettingsA(CDS_TEST), dmSize 148",
          ChangeDisplaySettingsA(&mode, CDS_TEST), 0);
  });
  Run("display-cds-updateregistry", [] {
    long found[2];
    DEVMODEA mode = Listed(found);
    CHECK(ChangeDisplaySettingsA(&mode, CDS_UPDATEREGISTRY), 0);
    Check("RegQueryValueExA(RefreshRate) after CDS_UPDATEREGISTRY",
          StoredRate(), 60,
          "assumed, no source found: Windows 98 keeps the rate of a mode set "
          "with CDS_UPDATEREGISTRY in HKCC\\Display\\Settings "
          "\"RefreshRate\", where its Display control panel keeps the rate "
          "chosen and the older driver reads it; Wine keeps it elsewhere");
  });
}
