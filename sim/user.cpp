// USER32's windows and messages: window classes, windows and their
// procedures, the thread's message queue with its idle hook, the messages
// other threads send it, window timers, registered messages, the cursor,
// the foreground window, the boxes' own windows and the other programs'.
#include <algorithm>
#include <deque>
#include <map>

#include "sim/internal.h"

namespace {

struct WindowClass {
  std::string name; // matched case-insensitively
  ATOM atom;        // what RegisterClassA returned
  WNDPROC proc;     // the class's window procedure
};

struct Window {
  std::string className; // as registered
  std::string title;     // as created
  WNDPROC proc;          // NULL for another process's window and a box's
  bool foreign;          // belongs to another process
  bool destroying;       // inside DestroyWindow, WM_DESTROY under way
  bool visible;          // ShowWindow state
  HMENU menu;            // SetMenu's menu, destroyed with the window
  HWND before;           // a box's: the foreground window when it opened
};

// The class USER32 gives dialog boxes, MessageBoxA's among them (the system
// classes of "About Window Classes" in the Windows API reference).
const char kBoxClass[] = "#32770";
// The thread's identifier, as GetCurrentThreadId answers it.
const DWORD kThreadId = 0x8C;

// A window timer from SetTimer.  Time in the simulation is the user's: each
// action comes after a pause in which every running timer comes due once.
struct Timer {
  HWND window;
  UINT_PTR id;
  bool due; // comes due before the user's next action
};

// The CREATESTRUCTA that WM_CREATE's lParam points to, as <winuser.h>
// lays it out.
struct CreateStruct {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy, cx, y, x;
  LONG style;
  LPCSTR lpszName, lpszClass;
  DWORD dwExStyle;
};

// Registered window classes.
std::vector<WindowClass> classes;
// Names in the atom table that classes and registered messages share.
std::vector<std::string> atoms;
// Windows existing now, by handle.
sim::Handles<HWND, Window> windows;
// Windows in creation order, for FindWindowA's top-down search.
std::vector<HWND> zOrder;
// Running window timers, oldest first.
std::vector<Timer> timers;
// Posted messages not yet taken, oldest first.
std::deque<MSG> queue;
// Messages another thread sent (SendNotifyMessage, SendMessage) and the
// thread has not taken yet, oldest first.  They are not in the queue: the
// thread's next wait calls the window procedure with them before it looks
// at any posted message (GetMessage and PeekMessage in the Windows API
// reference: both dispatch incoming sent messages first).
std::deque<MSG> sent;
// ChangeDisplaySettingsA waits for other programs to take its broadcast and
// takes only the messages sent to the thread meanwhile.
bool onlySentTaken;
// PostQuitMessage was called and its WM_QUIT not yet taken.
bool quitPending;
// PostQuitMessage's exit code.
int quitCode;
// Called by GetMessageA when the queue is empty.
std::function<bool()> idleHook;
// Where GetCursorPos says the mouse is.
POINT cursor;
// Message time stamps, in milliseconds.
DWORD tick;
// The foreground window: SetForegroundWindow's, a box's that opened, or
// another program's the user brought to the front.
HWND foreground;
// Another program's window the user can bring to the front, once made.
HWND otherProgram;
// Owner of the last tracked popup menu, until the program posts it a
// message; NULL when none waits.
HWND menuSwitchPending;

// A message box or popup menu open now and the user's answer to it, once
// given.
struct OpenModal {
  sim::Modal kind;
  bool answered;
  long answer; // the button (IDOK, IDCANCEL) or the command, 0 for none
};
// The boxes and menus open now, the innermost last.
std::vector<OpenModal> modals;

ATOM AddAtom(const std::string &name) {
  for (size_t i = 0; i < atoms.size(); ++i)
    if (sim::SameName(atoms[i], name))
      return static_cast<ATOM>(0xC000 + i);
  atoms.push_back(name);
  return static_cast<ATOM>(0xC000 + atoms.size() - 1);
}

bool IsAtomName(LPCSTR name) {
  return reinterpret_cast<ULONG_PTR>(name) < 0x10000;
}

const WindowClass *FindClass(LPCSTR name) {
  for (const auto &wc : classes) {
    if (IsAtomName(name) ? wc.atom == LOWORD(name)
                         : sim::SameName(wc.name, name))
      return &wc;
  }
  return nullptr;
}

Window *Own(HWND window) {
  auto found = windows.find(window);
  if (found == windows.end() || found->second.foreign)
    return nullptr;
  return &found->second;
}

HWND NewWindow(const Window &w) {
  HWND handle = windows.Add(w);
  zOrder.push_back(handle);
  return handle;
}

LRESULT Call(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window *w = Own(window);
  if (!w || !w->proc)
    return 0;
  return w->proc(window, message, wParam, lParam);
}

// WM_DESTROY while the window still exists, then it is gone along with
// the menu SetMenu gave it and the messages posted to it.
bool Destroy(HWND window) {
  Window *w = Own(window);
  if (!w || w->destroying)
    return false;
  w->destroying = true;
  Call(window, WM_DESTROY, 0, 0);
  HMENU menu = windows[window].menu;
  windows.erase(window);
  timers.erase(
      std::remove_if(timers.begin(), timers.end(),
                     [&](const Timer &t) { return t.window == window; }),
      timers.end());
  zOrder.erase(std::find(zOrder.begin(), zOrder.end(), window));
  // Messages still queued for it go with it.
  queue.erase(std::remove_if(queue.begin(), queue.end(),
                             [&](const MSG &m) { return m.hwnd == window; }),
              queue.end());
  sent.erase(std::remove_if(sent.begin(), sent.end(),
                            [&](const MSG &m) { return m.hwnd == window; }),
             sent.end());
  if (menu)
    sim::DestroyMenuInternal(menu);
  return true;
}

bool Matches(const MSG &msg, HWND window, UINT first, UINT last) {
  if (window && msg.hwnd != window)
    return false;
  return (first == 0 && last == 0) ||
         (msg.message >= first && msg.message <= last);
}

// Takes the oldest posted message that matches, or with `remove` false
// copies it and leaves it queued.
bool TakeQueued(LPMSG msg, HWND window, UINT first, UINT last, bool remove) {
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (Matches(*it, window, first, last)) {
      *msg = *it;
      if (remove)
        queue.erase(it);
      return true;
    }
  }
  return false;
}

// A timer that has come due makes a WM_TIMER once the queue is empty, as
// in USER32; taken (removed), it does not come due again before the user's
// next action.
bool TakeDueTimer(LPMSG msg, HWND window, UINT first, UINT last, bool remove) {
  for (Timer &timer : timers) {
    MSG due = {timer.window, WM_TIMER, timer.id, 0, tick, cursor};
    if (timer.due && Matches(due, window, first, last)) {
      timer.due = !remove;
      *msg = due;
      return true;
    }
  }
  return false;
}

void FillQuit(LPMSG msg, int code) {
  *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(code), 0, tick, cursor};
}

bool NameMatches(const std::string &have, LPCSTR wanted) {
  return !wanted || sim::SameName(have, wanted);
}

// FindWindowA's class may be a name or an atom from RegisterClassA.
bool ClassMatches(const Window &w, LPCSTR className) {
  if (!className || !IsAtomName(className))
    return NameMatches(w.className, className);
  const WindowClass *wc = FindClass(className);
  return wc && sim::SameName(wc->name, w.className);
}

// What one look at the thread's messages found.
enum class Step {
  Message, // a message to dispatch
  Quit,    // WM_QUIT: posted, from PostQuitMessage, or the session's end
  Acted,   // the queue was empty and the user did something: look again
  Nothing, // nothing waiting, and the caller does not wait
};

// Calls the window procedure with every message sent to the thread and not
// yet taken, in the order they were sent.
void TakeSent() {
  while (!sent.empty()) {
    MSG msg = sent.front();
    sent.pop_front();
    Call(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  }
}

// One look at the thread's messages, for GetMessageA, PeekMessageA and the
// loops of boxes and menus alike.  Sent messages are taken first.  A
// WM_QUIT from PostQuitMessage is not a posted message: it comes only once
// no posted message is waiting, and to GetMessageA whatever its filter
// (GetMessage in the Windows API reference).  With `remove` false what is
// found stays.  Only a caller that waits (`wait`) lets the user act when
// nothing is waiting (the idle hook); when the user has nothing left to
// do, the session ends from outside (log-off) and takes the program along
// with a quit of 0.
Step NextStep(LPMSG msg, HWND window, UINT first, UINT last, bool remove,
              bool wait, bool *sessionEnded) {
  TakeSent();
  if (TakeQueued(msg, window, first, last, remove))
    return msg->message == WM_QUIT ? Step::Quit : Step::Message;
  MSG quit;
  FillQuit(&quit, quitCode);
  if (quitPending && (wait || Matches(quit, window, first, last))) {
    quitPending = !remove;
    *msg = quit;
    return Step::Quit;
  }
  if (TakeDueTimer(msg, window, first, last, remove))
    return Step::Message;
  if (!wait)
    return Step::Nothing;
  if (!idleHook || !idleHook()) {
    *sessionEnded = true;
    FillQuit(msg, 0);
    return Step::Quit;
  }
  for (Timer &timer : timers)
    timer.due = true;
  return Step::Acted;
}

} // namespace

namespace sim {

void ResetUser() {
  classes.clear();
  atoms.clear();
  windows.Reset(0x50000);
  zOrder.clear();
  timers.clear();
  queue.clear();
  sent.clear();
  onlySentTaken = false;
  quitPending = false;
  quitCode = 0;
  idleHook = nullptr;
  cursor = {1000, 750};
  tick = 0;
  foreground = nullptr;
  otherProgram = nullptr;
  menuSwitchPending = nullptr;
  modals.clear();
}

bool SetUser(const Words &w) {
  if (w[0].text == "running") {
    // Another process shows a window whose class and title are both the
    // name given: another copy of a program that names its window so.
    std::string name = SimUtf8ToAnsi(w[1].text);
    NewWindow({name, name, nullptr, true, false, false, nullptr, nullptr});
  } else if (w[0].text == "cursor") {
    cursor = {static_cast<LONG>(ScenarioNumber(w[1])),
              static_cast<LONG>(ScenarioNumber(w[2]))};
  } else {
    return false;
  }
  return true;
}

bool WindowExists(HWND window) { return windows.count(window) != 0; }

HWND ForegroundWindow() {
  return WindowExists(foreground) ? foreground : nullptr;
}

void MenuTracked(HWND owner) { menuSwitchPending = owner; }

bool MenuSwitchPending(HWND owner) {
  return owner && menuSwitchPending == owner;
}

bool OwnWindowExists() {
  for (const auto &window : windows)
    if (!window.second.foreign)
      return true;
  return false;
}

bool PostInternal(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !WindowExists(window))
    return false;
  if (window && windows[window].foreign) {
    // Another process's window: what it does with the message is its own
    // affair, but the transcript shows that it was asked.
    bool registered = message >= 0xC000 && message - 0xC000 < atoms.size();
    sim::Emit(
        "post " +
        (registered ? atoms[message - 0xC000] : sim::Format("%u", message)) +
        " to the other copy's window");
    return true;
  }
  queue.push_back(MSG{window, message, wParam, lParam, ++tick, cursor});
  return true;
}

void BroadcastRegistered(const char *name) {
  UINT message = AddAtom(name);
  for (HWND window : zOrder)
    if (Own(window))
      PostInternal(window, message, 0, 0);
}

LRESULT SendInternal(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Call(window, message, wParam, lParam);
}

bool SendFromOtherThread(HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam) {
  if (!Own(window))
    return false;
  sent.push_back(MSG{window, message, wParam, lParam, ++tick, cursor});
  return true;
}

void BroadcastAndWait(UINT message, WPARAM wParam, LPARAM lParam) {
  std::vector<HWND> targets;
  for (HWND window : zOrder)
    if (Own(window))
      targets.push_back(window);
  for (HWND window : targets)
    Call(window, message, wParam, lParam);
  // While the other programs' windows take it, the user may click; a shell
  // that sends its callbacks then reaches the program at once (one that
  // posts them is read after the call returns).
  onlySentTaken = true;
  if (idleHook && ShellSendsCallbacks())
    idleHook();
  onlySentTaken = false;
  if (!sent.empty())
    sim::Emit("taken while waiting: the messages sent meanwhile");
  TakeSent();
}

HWND OpenBoxWindow(const std::string &caption) {
  HWND box = NewWindow({kBoxClass, caption, nullptr, false, false, true,
                        nullptr, ForegroundWindow()});
  foreground = box;
  return box;
}

void CloseBoxWindow(HWND box) {
  Window *w = Own(box);
  if (!w)
    return;
  HWND before = w->before;
  Destroy(box);
  if (foreground == box)
    foreground = WindowExists(before) ? before : nullptr;
}

// USER32's loops for boxes and menus take every message of the thread,
// whichever window it is for, and dispatch it: the program's window
// procedure runs while its box or menu is open (Wine's DIALOG_DoDialogBox
// in dlls/user32/dialog.c; the menu loop in dlls/win32u/menu.c).  On
// WM_QUIT the loop ends and posts the quit again for the loop below it
// (what the box or menu then answers is theirs to say).
bool RunModalLoop(Modal kind, const std::function<bool()> &stillOpen,
                  long *answer) {
  modals.push_back({kind, false, 0});
  size_t depth = modals.size();
  bool answered = false;
  for (;;) {
    if (modals[depth - 1].answered) {
      answered = true;
      *answer = modals[depth - 1].answer;
      break;
    }
    if (!stillOpen())
      break;
    MSG msg;
    bool sessionEnded = false;
    Step step = NextStep(&msg, nullptr, 0, 0, true, true, &sessionEnded);
    if (sessionEnded)
      sim::Emit(kind == Modal::Box ? "session ends with a box open"
                                   : "session ends with a menu open");
    if (step == Step::Quit) {
      quitPending = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (step == Step::Message && msg.hwnd)
      Call(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  }
  modals.resize(depth - 1);
  return answered;
}

// The answer goes to the innermost box or menu, and only when it is of the
// kind the user answers: a choice cannot close a box.
bool EndModal(Modal kind, long answer) {
  if (modals.empty() || modals.back().kind != kind || modals.back().answered)
    return false;
  modals.back().answered = true;
  modals.back().answer = answer;
  return true;
}

bool ModalOpen(Modal kind) {
  for (const OpenModal &modal : modals)
    if (modal.kind == kind)
      return true;
  return false;
}

} // namespace sim

void SimSetIdleHook(std::function<bool()> hook) { idleHook = std::move(hook); }

bool SimOnlySentMessagesTaken() { return onlySentTaken; }

void SimBringOtherProgramToFront() {
  if (!sim::WindowExists(otherProgram))
    otherProgram = NewWindow({"OtherProgram", "another program", nullptr, true,
                              false, true, nullptr, nullptr});
  foreground = otherProgram;
  sim::Emit("foreground another program");
}

int SimTimerCount() { return static_cast<int>(timers.size()); }

bool SimAnswerBox(int answer) { return sim::EndModal(sim::Modal::Box, answer); }

bool SimChooseFromMenu(UINT command) {
  return sim::EndModal(sim::Modal::Menu, static_cast<long>(command));
}

int SimOpenModalCount() { return static_cast<int>(modals.size()); }

bool SimPostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return sim::PostInternal(window, message, wParam, lParam);
}

ATOM WINAPI RegisterClassA(const WNDCLASSA *wc) {
  SIM_ENTER(0);
  if (!wc || !wc->lpszClassName || IsAtomName(wc->lpszClassName) ||
      !wc->lpfnWndProc || FindClass(wc->lpszClassName))
    return 0;
  ATOM atom = AddAtom(wc->lpszClassName);
  classes.push_back({wc->lpszClassName, atom, wc->lpfnWndProc});
  return atom;
}

// WM_CREATE arrives inside the call; answering -1 makes the creation fail
// and the window is destroyed again (WM_CREATE in the Windows API
// reference), here with WM_DESTROY as DestroyWindow sends it: stricter on
// purpose, as no source shows that message for this case.
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title,
                            DWORD style, int x, int y, int width, int height,
                            HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID param) {
  SIM_ENTER(nullptr);
  const WindowClass *wc = className ? FindClass(className) : nullptr;
  if (!wc || (parent && !sim::WindowExists(parent)))
    return nullptr;
  HWND window = NewWindow({wc->name, sim::Str(title), wc->proc, false, false,
                           false, menu, nullptr});
  CreateStruct cs = {param, instance, menu,        parent, height,    width,
                     y,     x,        LONG(style), title,  className, exStyle};
  LRESULT created = Call(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
  if (created == -1) {
    Destroy(window);
    return nullptr;
  }
  return sim::WindowExists(window) ? window : nullptr;
}

BOOL WINAPI DestroyWindow(HWND window) {
  SIM_ENTER(FALSE);
  return Destroy(window) ? TRUE : FALSE;
}

BOOL WINAPI IsWindow(HWND window) {
  SIM_ENTER(FALSE);
  return sim::WindowExists(window) ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND window, int show) {
  SIM_ENTER(FALSE);
  Window *w = Own(window);
  if (!w)
    return FALSE;
  bool was = w->visible;
  w->visible = show != SW_HIDE;
  return was ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND window) {
  SIM_ENTER(FALSE);
  return sim::WindowExists(window) ? TRUE : FALSE;
}

// Top-level windows are searched from the top of the z-order down, which
// puts the newest first.
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR title) {
  SIM_ENTER(nullptr);
  for (auto it = zOrder.rbegin(); it != zOrder.rend(); ++it) {
    const Window &w = windows[*it];
    if (ClassMatches(w, className) && NameMatches(w.title, title))
      return *it;
  }
  return nullptr;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM /*wParam*/,
                              LPARAM /*lParam*/) {
  SIM_ENTER(0);
  if (message == WM_CLOSE)
    Destroy(window);
  return 0;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT first, UINT last) {
  SIM_ENTER(-1);
  if (!msg || (window && !Own(window)))
    return -1;
  for (;;) {
    bool sessionEnded = false;
    Step step = NextStep(msg, window, first, last, true, true, &sessionEnded);
    if (step == Step::Acted)
      continue;
    // A program whose windows are all gone can no longer be reached by
    // anything: it would have had to post its own quit, and without one it
    // waits on, unseen, until Windows shuts down.
    if (sessionEnded && idleHook && !sim::OwnWindowExists())
      sim::Emit("hang: the message loop waits on with no window left");
    return step == Step::Message ? TRUE : FALSE;
  }
}

// Looks without waiting: the user does nothing while the program peeks.
// Of the flags only PM_REMOVE changes anything here; only a removed
// WM_TIMER or WM_QUIT counts as taken.
BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last,
                         UINT remove) {
  SIM_ENTER(FALSE);
  if (!msg || (window && !Own(window)))
    return FALSE;
  bool sessionEnded = false;
  return NextStep(msg, window, first, last, (remove & PM_REMOVE) != 0, false,
                  &sessionEnded) != Step::Nothing;
}

// No key ever reaches the program's window here, so no character message
// is ever made; a key message still answers nonzero, translated or not
// (TranslateMessage in the Windows API reference).
BOOL WINAPI TranslateMessage(const MSG *msg) {
  SIM_ENTER(FALSE);
  if (!msg)
    return FALSE;
  switch (msg->message) {
  case WM_KEYDOWN:
  case WM_KEYUP:
  case WM_SYSKEYDOWN:
  case WM_SYSKEYUP:
    return TRUE;
  }
  return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG *msg) {
  SIM_ENTER(0);
  if (!msg || !msg->hwnd)
    return 0;
  return Call(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

// A message the program posts to a menu's owner finishes the task switch
// that tracking the menu began.
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam) {
  SIM_ENTER(FALSE);
  if (!sim::PostInternal(window, message, wParam, lParam))
    return FALSE;
  if (window && window == menuSwitchPending)
    menuSwitchPending = nullptr;
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  SIM_ENTER();
  quitPending = true;
  quitCode = exitCode;
}

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
  SIM_ENTER(0);
  if (!name || !*name)
    return 0;
  return AddAtom(name);
}

// The transcript shows a box brought to the front, the one way the user
// sees this call.
BOOL WINAPI SetForegroundWindow(HWND window) {
  SIM_ENTER(FALSE);
  if (!sim::WindowExists(window))
    return FALSE;
  if (windows[window].className == kBoxClass && foreground != window)
    sim::Emit("foreground box " + sim::QuoteAnsi(windows[window].title));
  foreground = window;
  return TRUE;
}

// The thread's top-level windows, from the top of the z-order down; FALSE
// when the procedure stopped the enumeration or the thread has no window
// (EnumThreadWindows in the Windows API reference).
BOOL WINAPI EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam) {
  SIM_ENTER(FALSE);
  if (!proc || threadId != kThreadId)
    return FALSE;
  std::vector<HWND> list;
  for (auto it = zOrder.rbegin(); it != zOrder.rend(); ++it)
    if (Own(*it))
      list.push_back(*it);
  for (HWND window : list)
    if (sim::WindowExists(window) && !proc(window, lParam))
      return FALSE;
  return list.empty() ? FALSE : TRUE;
}

// Copies the class name, cut to fit `size` with its NUL; answers the
// characters copied, 0 for a window that does not exist.
int WINAPI GetClassNameA(HWND window, LPSTR name, int size) {
  SIM_ENTER(0);
  if (!sim::WindowExists(window) || !name || size <= 0)
    return 0;
  const std::string &className = windows[window].className;
  size_t n = std::min(className.size(), static_cast<size_t>(size - 1));
  className.copy(name, n);
  name[n] = '\0';
  return static_cast<int>(n);
}

DWORD WINAPI GetCurrentThreadId(void) {
  SIM_ENTER(kThreadId);
  return kThreadId;
}

BOOL WINAPI GetCursorPos(LPPOINT point) {
  SIM_ENTER(FALSE);
  if (!point)
    return FALSE;
  *point = cursor;
  return TRUE;
}

BOOL WINAPI SetMenu(HWND window, HMENU menu) {
  SIM_ENTER(FALSE);
  Window *w = Own(window);
  if (!w || (menu && !sim::MenuExists(menu)))
    return FALSE;
  w->menu = menu;
  return TRUE;
}

// Setting a running timer again starts its time afresh.  Timer procedures
// are not simulated: the program takes WM_TIMER in its window procedure.
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT /*elapse*/,
                         TIMERPROC proc) {
  SIM_ENTER(0);
  if (!Own(window) || proc)
    return 0;
  for (Timer &timer : timers)
    if (timer.window == window && timer.id == id) {
      timer.due = true;
      return 1;
    }
  timers.push_back({window, id, true});
  return 1;
}

// A WM_TIMER already taken from the queue is not taken back.
BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
  SIM_ENTER(FALSE);
  for (auto it = timers.begin(); it != timers.end(); ++it)
    if (it->window == window && it->id == id) {
      timers.erase(it);
      return TRUE;
    }
  return FALSE;
}

// Windows' default; a failure answers 0, which SetTimer takes as its
// shortest time.
UINT WINAPI GetDoubleClickTime(void) {
  SIM_ENTER(0);
  return 500;
}
