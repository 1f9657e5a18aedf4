// Shared set-up for tests that drive the product's procedures directly on
// the simulated notebook.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "driver/driver.h"
#include "harness/end_of_run.h"
#include "harness/runner.h"
#include "menu/menu.h"
#include "modes/modes.h"
#include "sim/sim.h"

// A fresh notebook and a product whose start-up state is all zero, as in a
// process that has just been loaded.
inline void FreshNotebook() {
  SimReset();
  ResetProgram();
  AppInstance = SimInstance();
}

// Start-up state as InitInstance would leave it: the driver answering, of
// the switch generation or not, a `panel` pixels wide panel and the Windows
// 9x display class subkey `keyName`.
inline void StartedAs(DWORD platform, DWORD switchDriver, WORD panel,
                      const char *keyName = "") {
  PlatformClass = platform;
  SwitchDriverPresent = switchDriver;
  DriverReady = 1;
  std::strcpy(DriverKeyName, keyName);
  PanelWidth = panel;
  SetPanelClass();
}

// The user answers every box the program opens with `button` and closes
// every menu choosing `command` (0: nothing); with nothing open the
// session ends.  A test that opens a box or menu says so with this.
inline void AnswerEveryModal(int button, UINT command = 0) {
  SimSetIdleHook(
      [=] { return SimAnswerBox(button) || SimChooseFromMenu(command); });
}

// Tests of one suite that each start from a fresh notebook.
class FreshNotebookTest : public ::testing::Test {
protected:
  void SetUp() override { FreshNotebook(); }
};

using Lines = std::vector<std::string>;

// A file of the tree, read whole (the tests run from the top of the tree).
inline std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A stored value as "<type>:<bytes>", or "<missing>".
inline std::string Stored(const char *root, const std::string &path,
                          const char *name) {
  DWORD type = 0;
  std::string data;
  if (!SimRegistryGet(root, path, name, &type, &data))
    return "<missing>";
  return std::to_string(type) + ":" + data;
}

// Applies scenario statements ("os nt4\nattached 3", ...) to the notebook.
#define GIVEN(text)                                                            \
  do {                                                                         \
    std::string error_;                                                        \
    ASSERT_TRUE(SimApplyScenario(text, &error_)) << error_;                    \
  } while (0)

// The transcript lines produced since the last call.
inline std::vector<std::string> TakeLines() {
  return SplitLines(SimTakeTranscript());
}

// Only the lines that start with `prefix` ("escape ", "regset ", ...).
inline std::vector<std::string> TakeLines(const std::string &prefix) {
  std::vector<std::string> picked;
  for (const std::string &line : TakeLines())
    if (line.compare(0, prefix.size(), prefix) == 0)
      picked.push_back(line);
  return picked;
}

// Opens the menu once, as a click on the icon does, and returns the checked
// command, or 0 for none.
inline DWORD CheckedAfterOpening() {
  BuildRefreshMenu(NULL);
  OpenModeMenu(NULL);
  DWORD checked = 0;
  int count = 0;
  for (const SimMenuItem &item : SimMenuItems(MenuHandle)) {
    if (item.state & MF_CHECKED) {
      EXPECT_NE(item.id, 0u) << "a separator carries the check mark";
      checked = item.id;
      ++count;
    }
  }
  DestroyRefreshMenu();
  EXPECT_LE(count, 1);
  return checked;
}

inline bool OpenCountsAreZero() {
  return SimOpenLine() == "open dc=0 key=0 device=0 menu=0";
}
