// The scenario runner as a library: crtrate-sim's main (tools/crtrate_sim.cpp),
// the fuzzer and the tests play scenarios in-process through it.
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
// zero.
void ResetProgram();

// The rules every run must end by, whatever the notebook answered; the
// fuzzer, the fault sweep (through `crtrate-sim --rules`) and the long run
// judge by them.  Called after a run, with its transcript:
//   exit  the transcript ends with "exit 0" and the "open" line;
//   open  nothing is left open but one handle per failed call of the call
//         that releases it (DeleteDC, ReleaseDC, RegCloseKey, CloseHandle,
//         DestroyMenu), and the menu of a window that would not go or that
//         the system called gone (DestroyWindow or IsWindow failed);
//   icon  the tray icon is gone, unless Shell_NotifyIconA failed or the
//         window stayed;
//   quit  the program did not wait on in its message loop with no window
//         left, unless PostQuitMessage failed;
//   menu  no menu listing checks more than one entry, unless CheckMenuItem
//         failed (the last opening's mark may then stand).
// Returns each break as "<rule>: <detail>"; none when all are kept.
std::vector<std::string> EndOfRunBreaks(const std::string &transcript);
