// The scenario runner's one entry point, for the programs that play
// scenarios in-process (the fuzzer, the long-run test).  They compile
// tools/crtrate_sim.cpp with CRTRATE_SIM_NO_MAIN defined.
#pragma once

#include <cstdio>
#include <string>

// Plays one scenario as `crtrate-sim FILE` does: a fresh notebook, the
// program's globals back to a new process's zeros, the statements, then
// WinMain with the actions delivered whenever it waits; the "exit" and
// "open" lines end the transcript.  Lines are echoed to `echo` when it is
// not NULL and stay in the simulation's transcript (SimTakeTranscript).
// Returns 0, or 2 for a scenario it cannot read (nothing is run, and a
// message naming `name` and the line goes to standard error).
int RunScenarioText(const std::string &name, const std::string &text,
                    FILE *echo);
