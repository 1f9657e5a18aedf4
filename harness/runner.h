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
// running it, and writes the language and the scenario's statements and
// actions as JSON to `out`:
//   {"language": [FORM, ...], "statements": [LINE, ...],
//    "actions": [LINE, ...]}
// where each FORM is [keyword, action, args, wine, meaning] (a
// ScenarioForm) and each LINE is [the index of its form, its words], the
// words a list of [text, quoted] pairs (see WriteWordsJson).  Returns 0, or
// 2 as RunScenarioText does.
int ParseScenarioText(const std::string &name, const std::string &text,
                      FILE *out);
// Writes one JSON object a line for each listing of the menu in `lines`
// (consecutive lines ReadMenuListingLine reads), each after `prefix`:
//   {"line": N, "entries": [[resolution, rate, grayed, checked], ...]}
// with N the 1-based number of its first line.
void WriteListingsJson(const std::vector<std::string> &lines,
                       const char *prefix, FILE *out);
// Writes `words` as a JSON list of [text, quoted] pairs.  Texts are bytes:
// valid UTF-8 stays as it is, and any other byte b is written as the lone
// surrogate U+DC00+b, which Python's "surrogateescape" error handler turns
// back into the byte.
void WriteWordsJson(const ScenarioWords &words, FILE *out);

// The program's globals as the loader leaves them in a new process: all
// zero; and its file's resources loaded (LoadProgramImage).
void ResetProgram();
