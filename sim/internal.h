// What the pieces of the simulated notebook share among themselves: the
// transcript, the call counter and fault table every simulated function
// passes through first, text conversions, and each area's reset.  Tests and
// the runner use sim/sim.h instead.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim/driver_model.h"
#include "sim/sim.h"

namespace sim {

// Counts a call of `function` and tells whether the fault table makes this
// call fail.  Every simulated Win32 function calls it before anything else,
// through SIM_ENTER.
bool Enter(const char *function);
// The first statement of every simulated Win32 function: counts the call
// under the function's own name and returns `failed` (the function's failure
// answer; nothing for a void function) when the fault table makes it fail.
#define SIM_ENTER(failed)                                                      \
  do {                                                                         \
    if (sim::Enter(__func__))                                                  \
      return failed;                                                           \
  } while (0)
// Appends one transcript line (without its '\n').
void Emit(const std::string &line);
// printf-style formatting into a std::string.
std::string Format(const char *format, ...)
    __attribute__((format(printf, 1, 2)));
// A NULL-safe std::string from an ANSI argument.
std::string Str(const char *text);
// ANSI (code page 950) bytes, quoted for the transcript as UTF-8.
std::string QuoteAnsi(const std::string &ansi);
// ASCII case-insensitive equality, as the registry and class names compare.
bool SameName(const std::string &a, const std::string &b);

// The handles of one kind an area gives out, each with what the area keeps
// for it: values from the area's base on, 0x10 apart, none given twice
// before the area's reset.
template <typename Handle, typename Entry>
struct Handles : std::map<Handle, Entry> {
  uintptr_t next = 0;
  void Reset(uintptr_t base) {
    this->clear();
    next = base;
  }
  Handle Add(const Entry &entry) {
    Handle handle = reinterpret_cast<Handle>(next);
    next += 0x10;
    (*this)[handle] = entry;
    return handle;
  }
  int Count() const { return static_cast<int>(this->size()); }
};

// Per-area resets, called by SimReset in this order.
void ResetCore();
void ResetKernel();
void ResetGdi();
void ResetDisplay();
void ResetSwitch();
void ResetRegistry();
void ResetUser();
void ResetMenus();
void ResetResources();
void ResetShell();

// Scenario setters, one per area (ScenarioActor): each takes a statement's
// words as the scenario reader split and checked them against the language
// (sim/scenario.h), w[0] its keyword, and returns false for a keyword or
// word it does not know.
typedef ScenarioWord Word;
typedef ScenarioWords Words;
bool SetKernel(const Words &w);
bool SetSwitch(const Words &w);
bool SetDriver(const Words &w);
bool SetDisplay(const Words &w);
bool SetRegistry(const Words &w);
bool SetUser(const Words &w);
bool SetResources(const Words &w);
bool SetShell(const Words &w);

// Inner helpers one area offers another, without counting a call.
// The message queue (queue.cpp): its reset; a posted message; a window's
// timers and queued messages forgotten as it goes; the wait of a call that
// takes only sent messages meanwhile (the idle hook with
// SimOnlySentMessagesTaken true, where the shell sends its callbacks).
void ResetQueue();
void QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ForgetWindowMessages(HWND window);
void WaitTakingSent();
// A window of this process's that exists now; where GetCursorPos says the
// mouse is.
bool IsOwnWindow(HWND window);
POINT Cursor();
void DestroyMenuInternal(HMENU menu);
bool PostInternal(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendInternal(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Another thread (the shell's) sends a message to a window of the program's:
// it waits until the thread next takes sent messages.  False for a window
// that is not the program's.
bool SendFromOtherThread(HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam);
// Sends `message` to each top-level window of the program's, then waits as
// a broadcast to every program's windows does: the user may act meanwhile
// (the idle hook, with SimOnlySentMessagesTaken true), and the messages sent
// to the thread are taken.
void BroadcastAndWait(UINT message, WPARAM wParam, LPARAM lParam);
// A message box's own window (class "#32770", captioned `caption`) opens in
// front; closing it puts back the window that was in front before, if it
// still exists.
HWND OpenBoxWindow(const std::string &caption);
void CloseBoxWindow(HWND box);
// Posts the registered message `name` to every top-level window of the
// program's.
void BroadcastRegistered(const char *name);
bool MenuExists(HMENU menu);
// Adds the listing of `menu` to the transcript (MenuListingLines in
// sim/scenario.h).
void EmitMenuListing(HMENU menu);
// CloseHandle's two kinds of handle: false when `handle` is not one.
bool CloseDevice(HANDLE handle);
bool CloseMutex(HANDLE handle);
int IconIdOf(HICON icon);
// A write the system makes on its own (no transcript line, no fault, never
// creates the key): false when the key does not exist.
bool SystemSetValue(const std::string &root, const std::string &path,
                    const std::string &name, DWORD type,
                    const std::string &data);
// dwPlatformId of the simulated system.
DWORD OsPlatform();
// The release ships the shell of Internet Explorer 4.0's desktop: Windows
// 98 and later (Windows 95 and NT 4.0 have it only when it was installed).
bool OsShellIsIe4();
// The shell sends its tray callbacks instead of posting them ("shell
// sends").
bool ShellSendsCallbacks();
bool ValidDc(HDC dc);
// A window of this process or the other copy's, existing now.
bool WindowExists(HWND window);
// The window SetForegroundWindow last made the foreground one, if it still
// exists; NULL otherwise.
HWND ForegroundWindow();
// TrackPopupMenu has returned for a menu of `owner`: the task switch to it
// stays unfinished until the program posts `owner` a message.
void MenuTracked(HWND owner);
// A menu of `owner` was tracked and the program has posted it nothing since.
bool MenuSwitchPending(HWND owner);
// The two kinds of modal loop USER32 runs for the program.
enum class Modal { Box, Menu };
// Runs the thread's messages as a message box's or a popup menu's own loop
// does, until the user answers it (SimAnswerBox, SimChooseFromMenu: true,
// `answer` set), `stillOpen` turns false, or a WM_QUIT arrives, which it
// posts again for the loop below (false).
bool RunModalLoop(Modal kind, const std::function<bool()> &stillOpen,
                  long *answer);
// A box or menu of this kind is open now.
bool ModalOpen(Modal kind);
// Ends the innermost box or menu, when it is of this kind, with `answer`
// (a box's button, a menu's command or 0).  False, and nothing ended,
// otherwise.
bool EndModal(Modal kind, long answer);
// Any window of the program's own exists.
bool OwnWindowExists();
int DcOpenCount();
int KeyOpenCount();
int DeviceOpenCount();
int MenuOpenCount();

} // namespace sim
