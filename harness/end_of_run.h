// What every run of the program must leave behind, whatever the simulated
// notebook answered: stated once here for the fuzzer, the fault sweep
// (through `crtrate-sim --rules`), the long run and their tests.
#pragma once

#include <string>
#include <vector>

// The rules every run must end by, whatever the notebook answered; the
// fuzzer, the fault sweep (through `crtrate-sim --rules`) and the long run
// judge by them.  Called after a run, with its transcript:
//   exit  the transcript ends with "exit 0", or the code of a quit from
//         outside ("> quit 7": "exit 7"), and the "open" line;
//   open  nothing is left open but one handle per failed call of the call
//         that releases it (DeleteDC, ReleaseDC, RegCloseKey, CloseHandle,
//         DestroyMenu), and the menu of a window that would not go or that
//         the system called gone (DestroyWindow or IsWindow failed);
//   icon  the tray icon is gone, unless Shell_NotifyIconA failed or the
//         window stayed;
//   quit  the program did not wait on in its message loop with no window
//         left, unless PostQuitMessage failed;
//   tracked  no menu was destroyed while TrackPopupMenu tracked it;
//   menu  no menu listing checks more than one entry, unless CheckMenuItem
//         failed (the last opening's mark may then stand).
// Returns each break as "<rule>: <detail>"; none when all are kept.
std::vector<std::string> EndOfRunBreaks(const std::string &transcript);
