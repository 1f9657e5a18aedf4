// The end-of-run rules (harness/end_of_run.h).
#include "harness/end_of_run.h"

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
  if (lines.size() < 2 || lines[lines.size() - 2] != "exit 0" ||
      lines.back().compare(0, 5, "open ") != 0)
    breaks.push_back("exit: the transcript does not end with exit 0 and open");

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
