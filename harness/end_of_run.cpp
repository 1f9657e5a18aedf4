// The end-of-run rules (harness/end_of_run.h).
#include "harness/end_of_run.h"

#include <algorithm>
#include <initializer_list>

#include "sim/scenario.h"
#include "sim/sim.h"

namespace {

int Failed(std::initializer_list<const char *> functions) {
  int failed = 0;
  for (const char *function : functions)
    failed += SimFailedCount(function);
  return failed;
}

} // namespace

std::vector<std::string> EndOfRunBreaks(const std::string &transcript) {
  std::vector<std::string> lines = SplitLines(transcript), breaks;
  // The exit code is the wParam of the quit that ended the loop: 0 from
  // the window's destruction or the session's end, or a quit's from
  // outside.
  std::vector<std::string> exits = {"exit 0"};
  for (const std::string &line : lines)
    if (line.compare(0, 6, "> quit") == 0) {
      // WinMain returns the wParam as an int.
      int code = line.size() > 7
                     ? static_cast<int>(ScenarioNumber({line.substr(7), false}))
                     : 0;
      exits.push_back("exit " + std::to_string(code));
    }
  if (lines.size() < 2 ||
      std::find(exits.begin(), exits.end(), lines[lines.size() - 2]) ==
          exits.end() ||
      lines.back().compare(0, 5, "open ") != 0)
    breaks.push_back("exit: the transcript does not end with the exit code "
                     "of a quit and open");

  // A release call that fails keeps the handle it was given; a window that
  // would not go, or that the system calls gone, keeps its menu and icon.
  int keptWindow = Failed({"DestroyWindow", "IsWindow"}) > 0;
  SimOpenCounts open = SimOpen();
  if (open.dc > Failed({"DeleteDC", "ReleaseDC"}) ||
      open.key > Failed({"RegCloseKey"}) ||
      open.device > Failed({"CloseHandle"}) ||
      open.menu > Failed({"DestroyMenu"}) + keptWindow)
    breaks.push_back("open: left open: " + SimOpenLine());
  if (SimTrayIconCount() != 0 && !keptWindow && !Failed({"Shell_NotifyIconA"}))
    breaks.push_back("icon: the tray icon outlived the program");

  for (const std::string &line : lines) {
    if (line.compare(0, 6, "hang: ") == 0 && !Failed({"PostQuitMessage"}))
      breaks.push_back("quit: " + line.substr(6));
    if (line == "tracked menu destroyed")
      breaks.push_back("tracked: " + line);
  }

  int marks = 0;
  for (size_t i = 0; i < lines.size() && !Failed({"CheckMenuItem"}); ++i) {
    std::vector<MenuListingEntry> entries;
    if (!ReadMenuListingLine(lines[i], &entries)) {
      marks = 0;
      continue;
    }
    for (const MenuListingEntry &entry : entries)
      if (entry.checked && ++marks == 2)
        breaks.push_back("menu: the listing at line " + std::to_string(i + 1) +
                         " checks two entries");
  }
  return breaks;
}
