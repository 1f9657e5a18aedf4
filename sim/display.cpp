// The desktop's display settings: the mode in force as GetDeviceCaps sees
// it, the list EnumDisplaySettingsA offers, and ChangeDisplaySettingsA.
#include <cstddef>
#include <utility>

#include "sim/display_line.h"
#include "sim/internal.h"

namespace {

// The CDS_TEST flag: check the mode without setting it.
const DWORD kCdsTest = 0x00000002;

// The desktop's mode in force.
SimDesktop desktop;
// The modes of the "modes" statements, in order; empty means the desktop
// alone.
std::vector<SimDesktop> modes;
// What ChangeDisplaySettingsA answers.
LONG cdsResult;
// The "planar" statement: the driver keeps a 16-colour desktop in four
// planes of one bit each, as the VGA's own drivers do.
bool planar;

// A 16-colour desktop of a planar driver.
bool InPlanes() { return planar && desktop.bpp == 4; }

// Like the real call, only the fields named in dmFields are changed.
void TakeMode(const DEVMODEA *dm) {
  if (dm->dmFields & DM_PELSWIDTH)
    desktop.width = static_cast<int>(dm->dmPelsWidth);
  if (dm->dmFields & DM_PELSHEIGHT)
    desktop.height = static_cast<int>(dm->dmPelsHeight);
  if (dm->dmFields & DM_BITSPERPEL)
    desktop.bpp = static_cast<int>(dm->dmBitsPerPel);
  if (dm->dmFields & DM_DISPLAYFREQUENCY)
    desktop.hz = static_cast<int>(dm->dmDisplayFrequency);
}

// A record whose dmSize ends before a field its dmFields names is refused:
// stricter on purpose, as the ChangeDisplaySettingsA of later Windows takes
// even a dmSize of 0 (Wine's dlls/user32/tests/monitor.c,
// test_ChangeDisplaySettingsEx) and no source shows what Windows 95 and NT
// 4.0 make of it; the size is the one thing that tells them which form of
// the record they were given.
bool RecordHoldsItsFields(const DEVMODEA *mode) {
  const std::pair<DWORD, size_t> kEnds[] = {
      {DM_BITSPERPEL, offsetof(DEVMODEA, dmPelsWidth)},
      {DM_PELSWIDTH, offsetof(DEVMODEA, dmPelsHeight)},
      {DM_PELSHEIGHT, offsetof(DEVMODEA, dmDisplayFlags)},
      {DM_DISPLAYFREQUENCY, offsetof(DEVMODEA, dmICMMethod)}};
  for (const auto &field : kEnds)
    if ((mode->dmFields & field.first) && mode->dmSize < field.second)
      return false;
  return true;
}

} // namespace

namespace sim {

void ResetDisplay() {
  desktop = {1024, 768, 16, 60};
  modes.clear();
  cdsResult = DISP_CHANGE_SUCCESSFUL;
  planar = false;
}

bool SetDisplay(const Words &w) {
  const std::string &what = w[0].text;
  if (what == "planar") {
    planar = true;
  } else if (what == "cds-result") {
    cdsResult = static_cast<LONG>(ScenarioNumber(w[1]));
  } else if (what == "desktop" || what == "modes") {
    SimDesktop mode = {int(ScenarioNumber(w[1])), int(ScenarioNumber(w[2])),
                       int(ScenarioNumber(w[3])), int(ScenarioNumber(w[4]))};
    if (what == "desktop")
      desktop = mode;
    else
      modes.push_back(mode);
  } else {
    return false;
  }
  return true;
}

} // namespace sim

SimDesktop SimCurrentDesktop() { return desktop; }

int WINAPI GetDeviceCaps(HDC dc, int index) {
  SIM_ENTER(0);
  if (!sim::ValidDc(dc))
    return 0;
  switch (index) {
  case HORZRES:
    return desktop.width;
  case VERTRES:
    return desktop.height;
  // Bits in each plane: GetDeviceCaps in the Windows API reference, and
  // Knowledge Base Q139202 for the depth as BITSPIXEL times PLANES.
  case BITSPIXEL:
    return InPlanes() ? 1 : desktop.bpp;
  case PLANES:
    return InPlanes() ? 4 : 1;
  case VREFRESH:
    return desktop.hz;
  }
  return 0;
}

BOOL WINAPI EnumDisplaySettingsA(LPCSTR device, DWORD index, DEVMODEA *mode) {
  SIM_ENTER(FALSE);
  std::vector<SimDesktop> list = modes;
  if (list.empty())
    list.push_back(desktop);
  bool ok = !device && mode && index < list.size();
  sim::Emit(sim::Format("enum %u -> %s", index, ok ? "ok" : "fail"));
  if (!ok)
    return FALSE;
  const SimDesktop &m = list[index];
  mode->dmFields =
      DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  mode->dmBitsPerPel = static_cast<DWORD>(m.bpp);
  mode->dmPelsWidth = static_cast<DWORD>(m.width);
  mode->dmPelsHeight = static_cast<DWORD>(m.height);
  mode->dmDisplayFrequency = static_cast<DWORD>(m.hz);
  return TRUE;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA *mode, DWORD flags) {
  SIM_ENTER(DISP_CHANGE_FAILED);
  LONG result =
      mode && !RecordHoldsItsFields(mode) ? DISP_CHANGE_BADMODE : cdsResult;
  sim::Emit(DisplaySettingsLine(mode, flags, result));
  if (result == DISP_CHANGE_SUCCESSFUL && mode && !(flags & kCdsTest)) {
    TakeMode(mode);
    // Every top-level window hears of the change, and the call waits for
    // other programs' windows to take it, taking meanwhile the messages
    // sent to its own thread (WM_DISPLAYCHANGE and SendMessage in the
    // Windows API reference: a thread waiting on a message sent to another
    // thread "will process incoming nonqueued messages while waiting").
    sim::BroadcastAndWait(
        WM_DISPLAYCHANGE, static_cast<WPARAM>(desktop.bpp),
        static_cast<LPARAM>(
            (static_cast<DWORD>(desktop.height & 0xFFFF) << 16) |
            static_cast<DWORD>(desktop.width & 0xFFFF)));
    // Windows 9x keeps the rate it was last given in the hardware
    // profile's display settings, where the older drivers' tools read it
    // (assumed: no source found, and Wine keeps it elsewhere).
    if ((flags & CDS_UPDATEREGISTRY) &&
        sim::OsPlatform() == VER_PLATFORM_WIN32_WINDOWS &&
        (mode->dmFields & DM_DISPLAYFREQUENCY))
      sim::SystemSetValue("HKCC", "Display\\Settings", "RefreshRate", REG_SZ,
                          std::to_string(mode->dmDisplayFrequency) +
                              std::string(1, '\0'));
  }
  return result;
}
