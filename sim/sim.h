// Controls of the simulated notebook, for the scenario runner and the tests.
// The product never includes this file: it sees only the Win32 functions of
// sim/win32.h.  Everything here configures, drives or inspects the
// simulation from outside, as a test harness would a real machine.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim/win32.h"

// Puts every piece of simulated state back to a fresh notebook: Windows 98,
// no switch device, a display driver that answers with all-zero state,
// desktop 1024x768 at 16 bits and 60 Hz, an empty registry, no windows,
// classes, menus or tray icons, no faults, no pending answers, empty
// transcript, all counters 0.
void SimReset();

// Applies one scenario statement of the hardware, registry and fault kinds
// ("os", "switch", "driver", "result", "reply", "attached", "desktop",
// "value", "fail", ...).  Actions are not statements.  Returns false and sets
// `error` for an unknown or malformed line.  Blank lines and '#' comments are
// accepted and ignored.
bool SimApplyStatement(const std::string &line, std::string *error);
// Reads `text` as a scenario (sim/scenario.h) and applies its statements in
// turn; stops at the first bad line and returns false with `error` naming
// its line number (1-based), what is wrong and its text.  Actions are read
// but not played.
bool SimApplyScenario(const std::string &text, std::string *error);

// Transcript: every event line the simulation produced, in order.
// Returns the lines produced since the last call, each ending in '\n'.
std::string SimTakeTranscript();
// Appends a line of the caller's own (the runner's "apply", "exit", ...).
void SimEmit(const std::string &line);
// When set, each line is also written to `out` as it is produced.
void SimSetEcho(FILE *out);

// Called by GetMessageA whenever the thread's queue is empty and no timer is
// due.  The hook may post messages or act directly; it returns false when
// nothing is left to do, and GetMessageA then returns a quit message with
// wParam 0, as when the session ends from outside.  Without a hook the
// queue's end is a quit.  The loops of open boxes and menus call it too.  Time
// passes only for the user: a timer comes due once between two calls of the
// hook (the user pauses longer than any timer the program sets), so each
// running timer makes one WM_TIMER before the user's next action, and before
// the session ends.
void SimSetIdleHook(std::function<bool()> hook);
// True while the idle hook is called from a call that waits on other
// programs and takes only the messages sent to the thread meanwhile
// (ChangeDisplaySettingsA's broadcast of WM_DISPLAYCHANGE, which calls the
// hook only where the shell sends its callbacks, "shell sends"): of the
// user's actions only a click can reach the program then.
bool SimOnlySentMessagesTaken();
// Window timers running now (SetTimer without KillTimer, on a window that
// still exists).
int SimTimerCount();
// A message box or a tracked popup menu stays open, running its own loop
// (which dispatches every message of the thread and calls the idle hook
// while its queue is empty), until the user answers it from the idle hook
// with one of these, or a WM_QUIT ends it.
//
// Closes the innermost open box with a button: IDOK or IDCANCEL (Escape,
// which a box with only OK answers with IDOK).  False, and nothing done,
// when the innermost box or menu is not a box.
bool SimAnswerBox(int answer);
// Closes the innermost open menu: an enabled entry's command is chosen,
// any other command (0 for none: Escape, or a click elsewhere) leaves it
// with nothing chosen.  False, and nothing done, when the innermost box or
// menu is not a menu.
bool SimChooseFromMenu(UINT command);
// Boxes and menus open now.
int SimOpenModalCount();
// Posts a message from outside the program (the shell's tray callback, a
// quit from the session's end): the program's own PostMessageA is neither
// counted nor subject to the fault table for it.  False for a window that
// does not exist.
bool SimPostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The user clicks the program's tray icon: the shell posts (or, with "shell
// sends", sends) the callback message of the first icon added (or
// modified) with NIF_MESSAGE to its window, wParam the icon's id and lParam
// `mouseMessage` (WM_LBUTTONDOWN, ...).  False, and nothing delivered, when
// no icon takes clicks.
bool SimClickTrayIcon(LPARAM mouseMessage);
// The user clicks another program's window, which comes to the front over
// any box of the program's.
void SimBringOtherProgramToFront();
// Explorer restarts with an empty notification area; a shell of Internet
// Explorer 4.0's desktop (Windows 98's, or "shell ie4") then posts the
// registered "TaskbarCreated" message to every top-level window.
void SimRestartShell();

// Accounting: what the program opened and has not released.
struct SimOpenCounts {
  int dc;     // CreateDCA and GetDC without DeleteDC / ReleaseDC
  int key;    // RegOpenKeyExA without RegCloseKey
  int device; // CreateFileA without CloseHandle
  int menu;   // CreatePopupMenu without DestroyMenu
};
SimOpenCounts SimOpen();
// "open dc=<n> key=<n> device=<n> menu=<n>"
std::string SimOpenLine();

// Fault injection.  `nth` 1 fails only the nth call from now on counted
// since SimReset; 0 fails every call.  Unknown names are rejected.
bool SimFailCall(const std::string &function, int nth);
// Calls made to a simulated function since SimReset.
int SimCallCount(const std::string &function);
// Calls of a simulated function that the fault table made fail since
// SimReset.
int SimFailedCount(const std::string &function);
// Every simulated function that was called, with its count, in first-call
// order.
std::vector<std::pair<std::string, int>> SimCallCounts();
// Every function name that SimFailCall accepts: the rows of sim/calls.def
// that sim/ offers, in their order.
std::vector<std::string> SimFunctionNames();

// Inspection.
// Reads a value of the simulated registry ("HKCC" or "HKLM"); false when
// the key or value does not exist.
bool SimRegistryGet(const std::string &root, const std::string &path,
                    const std::string &name, DWORD *type, std::string *data);
bool SimRegistryKeyExists(const std::string &root, const std::string &path);
// Items of `menu` including separators (for layout checks): id, flags as
// GetMenuState reports them, text.
struct SimMenuItem {
  UINT id, state;
  std::string text;
};
std::vector<SimMenuItem> SimMenuItems(HMENU menu);
// The simulated display driver's state as requests have left it.
struct SimDriverState {
  DWORD attached, active, mode;
  DWORD refresh; // word 0 of the refresh-rate reply
};
SimDriverState SimDriver();
// The desktop as GetDeviceCaps reports it now.
struct SimDesktop {
  int width, height, bpp, hz;
};
SimDesktop SimCurrentDesktop();
// Tray icons shown now (added and not deleted).
int SimTrayIconCount();

// Texts: ANSI (code page 950) to UTF-8 and back.  The transcript quotes
// them as scenarios do (QuoteScenarioText).
std::string SimAnsiToUtf8(const std::string &ansi);
std::string SimUtf8ToAnsi(const std::string &utf8);

// The program's module handle, as the loader passes it to WinMain and the
// resource functions recognise it.
HINSTANCE SimInstance();
// The resources of the program file behind SimInstance(), as the loader
// finds them: its string table (ids with UTF-8 texts) and the ids of its
// icon groups.  They replace the scenario's "string" texts, and SimReset
// keeps them: a new process of the same file has them again.
struct SimStringResource {
  UINT id;
  const char *text;
};
void SimLoadProgramResources(const std::vector<SimStringResource> &strings,
                             const std::vector<UINT> &iconIds);
