// The scenario runner as a library: crtrate-sim's main
// (harness/crtrate_sim.cpp), the fuzzer and the tests play scenarios in-process
// through it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "sim/scenario.h"

// Plays one scenario as `crtrate-sim FILE` does: a fresh notebook, the
// program's globals back to a new process's zeros, the statements, then
// WinMain with the actions delivered whenever it waits; the "exit" and
// "open" lines end the transcript.  Lines are echoed to `echo` when it is
// not NULL and stay in the simulation's transcript (SimTakeTranscript).
// Returns 0, or 2 for a scenario it cannot read (nothing is run, and a
// message naming `name` and the line goes to standard error).
int RunScenarioText(const std::string &name, const std::string &text,
                    FILE *echo);

// Checks a scenario as RunScenarioText does before it runs it, without
// running it, and writes its statements and actions as JSON to `out`:
//   {"statements": [LINE, ...], "actions": [LINE, ...]}
// where each LINE is a list of [text, quoted] pairs, one per word (see
// WriteWordsJson).  Returns 0, or 2 as RunScenarioText does.
int ParseScenarioText(const std::string &name, const std::string &text,
                      FILE *out);
// Writes `words` as a JSON list of [text, quoted] pairs.  Texts are bytes:
// valid UTF-8 stays as it is, and any other byte b is written as the lone
// surrogate U+DC00+b, which Python's "surrogateescape" error handler turns
// back into the byte.
void WriteWordsJson(const ScenarioWords &words, FILE *out);

// The program's globals as the loader leaves them in a new process: all
// zero; and its file's resources loaded (LoadProgramImage).
void ResetProgram();
