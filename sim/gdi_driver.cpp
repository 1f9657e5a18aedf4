// GDI device contexts and the display driver behind the private escape.
// The driver itself (state, request sizes, results, replies) is the shared
// model of sim/driver_model.h; this file gives it the DC it is reached by.
#include <map>

#include "sim/internal.h"

namespace {

// Device contexts open now, by handle, each true when it came from GetDC
// (released by ReleaseDC), false from CreateDCA (deleted by DeleteDC).
sim::Handles<HDC, bool> dcs;
// The display driver.
DisplayDriverModel displayDriver;

} // namespace

namespace sim {

void ResetGdi() {
  dcs.Reset(0x10000);
  displayDriver.Reset();
}

bool SetDriver(const Words &w) { return displayDriver.ApplyStatement(w); }

bool ValidDc(HDC dc) { return dcs.count(dc) != 0; }

int DcOpenCount() { return dcs.Count(); }

} // namespace sim

HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR /*device*/, LPCSTR /*output*/,
                     const DEVMODEA * /*init*/) {
  SIM_ENTER(nullptr);
  if (!driver || !sim::SameName(driver, "DISPLAY"))
    return nullptr;
  return dcs.Add(false);
}

BOOL WINAPI DeleteDC(HDC dc) {
  SIM_ENTER(FALSE);
  auto found = dcs.find(dc);
  if (found == dcs.end() || found->second)
    return FALSE;
  dcs.erase(found);
  return TRUE;
}

HDC WINAPI GetDC(HWND window) {
  SIM_ENTER(nullptr);
  if (window && !sim::WindowExists(window))
    return nullptr;
  return dcs.Add(true);
}

int WINAPI ReleaseDC(HWND /*window*/, HDC dc) {
  SIM_ENTER(0);
  auto found = dcs.find(dc);
  if (found == dcs.end() || !found->second)
    return 0;
  dcs.erase(found);
  return 1;
}

// Any display DC reaches the display driver; the driver answers only its
// own escape number and ignores the others.
int WINAPI ExtEscape(HDC dc, int escape, int inSize, LPCSTR in, int outSize,
                     LPSTR out) {
  SIM_ENTER(0);
  if (!sim::ValidDc(dc) || escape != 0x3000)
    return 0;
  std::string line;
  int result = displayDriver.Escape(in, inSize, outSize, out, &line);
  if (!line.empty())
    sim::Emit(line);
  return result;
}

SimDriverState SimDriver() {
  return {displayDriver.attached(), displayDriver.active(),
          displayDriver.modeNumber(), displayDriver.refresh()};
}
