// A stand-in for the Display control panel applet (desk.cpl), which this
// Wine does not ship.  The harness copies it into the test prefix's system
// directory; when RUNDLL32.EXE loads it through shell32's Control_RunDLL it
// appends the command line it was started with to the file named by
// CRTRATE_E2E_DESK_LOG, which shows who asked for the applet and how.
#include <windows.h>

#include <cpl.h>

#include <string>

#include "harness/rig/log_file.h"

namespace {

void Record(const char *event) {
  AppendLine(EnvironmentPath("CRTRATE_E2E_DESK_LOG"),
             std::string(event) + " " + GetCommandLineA());
}

} // namespace

extern "C" __declspec(dllexport) LONG APIENTRY
    CPlApplet(HWND, UINT message, LPARAM, LPARAM data) {
  switch (message) {
  case CPL_INIT:
    Record("desk.cpl init");
    return TRUE;
  case CPL_GETCOUNT:
    return 1;
  case CPL_INQUIRE: {
    CPLINFO *info = reinterpret_cast<CPLINFO *>(data);
    info->idIcon = 0;
    info->idName = 0;
    info->idInfo = 0;
    info->lData = 0;
    return 0;
  }
  case CPL_DBLCLK:
    Record("desk.cpl open");
    return 0;
  default:
    return 0;
  }
}
