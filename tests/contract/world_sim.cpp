// The contract's starting state on the simulated notebook, and the calls
// the simulation saw a case make.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness/program_image.h"
#include "sim/sim.h"
#include "tests/contract/contract.h"

void WorldReset() {
  SimReset();
  LoadProgramImage();
  std::string error;
  if (!SimApplyScenario("key HKCC \"Contract\"\n"
                        "key HKCC \"Display\\\\Settings\"\n"
                        "desktop 1024 768 16 60\n"
                        "driver missing\n",
                        &error)) {
    fprintf(stderr, "contract world: %s\n", error.c_str());
    exit(2);
  }
  // A box no case answers itself is the shell's for a program it cannot
  // find, which only the simulation shows (unshown: shell-execute-error-
  // box): the user presses OK.
  SimSetIdleHook([] { return SimAnswerBox(IDOK); });
}

HINSTANCE WorldInstance() { return SimInstance(); }

bool WorldCalled(const char *function) { return SimCallCount(function) > 0; }
