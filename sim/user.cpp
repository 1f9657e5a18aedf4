// USER32's windows: window classes, windows and their procedures,
// registered messages, the cursor, the foreground window, the boxes' own
// windows and the other programs'.  The message queue is in queue.cpp.
#include <algorithm>
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
// Where GetCursorPos says the mouse is.
POINT cursor;
// The foreground window: SetForegroundWindow's, a box's that opened, or
// another program's the user brought to the front.
HWND foreground;
// Another program's window the user can bring to the front, once made.
HWND otherProgram;
// Owner of the last tracked popup menu, until the program posts it a
// message; NULL when none waits.
HWND menuSwitchPending;

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
  zOrder.erase(std::find(zOrder.begin(), zOrder.end(), window));
  // Its timers and the messages still queued for it go with it.
  sim::ForgetWindowMessages(window);
  if (menu)
    sim::DestroyMenuInternal(menu);
  return true;
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

} // namespace

namespace sim {

void ResetUser() {
  classes.clear();
  atoms.clear();
  windows.Reset(0x50000);
  zOrder.clear();
  cursor = {1000, 750};
  foreground = nullptr;
  otherProgram = nullptr;
  menuSwitchPending = nullptr;
  ResetQueue();
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
  QueueMessage(window, message, wParam, lParam);
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

bool IsOwnWindow(HWND window) { return Own(window) != nullptr; }

POINT Cursor() { return cursor; }

void BroadcastAndWait(UINT message, WPARAM wParam, LPARAM lParam) {
  std::vector<HWND> targets;
  for (HWND window : zOrder)
    if (Own(window))
      targets.push_back(window);
  for (HWND window : targets)
    Call(window, message, wParam, lParam);
  WaitTakingSent();
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

} // namespace sim

void SimBringOtherProgramToFront() {
  if (!sim::WindowExists(otherProgram))
    otherProgram = NewWindow({"OtherProgram", "another program", nullptr, true,
                              false, true, nullptr, nullptr});
  foreground = otherProgram;
  sim::Emit("foreground another program");
}

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
