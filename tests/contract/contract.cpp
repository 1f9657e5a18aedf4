// The contract suite: the Win32 behaviours the program relies on, built
// against the simulated notebook and as a Windows console exe that
// tests/contract/compare.py runs under Wine.  Each case makes Win32 calls
// as the program makes them and prints one line: `expected` is the
// simulation's, checked by `crtrate-contract --check`; `follows` marks
// where the simulation answers as Windows 98 or NT 4.0 do and Wine does
// not, with its source (`crtrate-contract --marks` lists them, and what
// no case can show); `holds` names the program's imports the case holds
// (`crtrate-contract --held`).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "resources/resource.h"

// The state every case starts from, made by each side its own way
// (world_sim.cpp, world_win.cpp): an empty key HKCC\Contract, the key
// HKCC\Display\Settings without "RefreshRate", a desktop of 1024x768 at 16
// bits, and no display driver behind escape 0x3000.
void WorldReset();
// The module whose string table and icons are the program's own.
HINSTANCE WorldInstance();

namespace {

std::string Hex(const void *data, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    unsigned char byte = static_cast<const unsigned char *>(data)[i];
    out += "0123456789abcdef"[byte >> 4];
    out += "0123456789abcdef"[byte & 15];
  }
  return out;
}

// Answers joined by blanks.
std::string Join(const std::vector<long> &values) {
  std::string out;
  for (long value : values)
    out += (out.empty() ? "" : " ") + std::to_string(value);
  return out;
}

// ---------------------------------------------------------------- registry

HKEY Contract(REGSAM access) {
  HKEY key = NULL;
  RegOpenKeyExA(HKEY_CURRENT_CONFIG, "Contract", 0, access, &key);
  return key;
}

long Open(HKEY root, const char *path) {
  HKEY key;
  LONG status = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
  if (status == ERROR_SUCCESS)
    RegCloseKey(key);
  return status;
}

std::string RegOpen() {
  HKEY parent = Contract(KEY_READ);
  long empty = Open(parent, "");
  RegCloseKey(parent);
  return Join({Open(HKEY_CURRENT_CONFIG, "Contract\\No"),
               Open(HKEY_CURRENT_CONFIG, "CONTRACT"), empty});
}

// ulOptions other than 0.
std::string RegOpenOptions() {
  HKEY key;
  LONG status =
      RegOpenKeyExA(HKEY_CURRENT_CONFIG, "Contract", 1, KEY_READ, &key);
  if (status == ERROR_SUCCESS)
    RegCloseKey(key);
  return Join({status});
}

std::string RegDoubledBackslash() {
  return Join({Open(HKEY_CURRENT_CONFIG, "Display\\\\Settings")});
}

// A write through a read handle, a read through a write handle, a missing
// value, a handle closed twice.
std::string RegAccess() {
  const BYTE on[] = {'O', 'N'};
  HKEY reader = Contract(KEY_READ), writer = Contract(KEY_WRITE);
  DWORD size = 0;
  std::vector<long> answers = {
      RegSetValueExA(reader, "X", 0, REG_SZ, on, 2),
      RegSetValueExA(writer, "X", 0, REG_SZ, on, 2),
      RegQueryValueExA(writer, "X", NULL, NULL, NULL, &size),
      RegQueryValueExA(reader, "Other", NULL, NULL, NULL, &size)};
  RegCloseKey(reader);
  answers.push_back(RegCloseKey(writer));
  answers.push_back(RegCloseKey(writer));
  return Join(answers);
}

// Stores `count` bytes of `data` as "ShowAllModes", as the program writes,
// and reads them back under another letter case into a '#'-filled buffer
// of `buffer` bytes (-1: no buffer): the set's and the query's status, the
// size and type reported, the buffer's first six bytes.
struct Query {
  const char *name;
  DWORD type;
  const char *data;
  DWORD count;
  int buffer;
  const char *expected;
  const char *follows = nullptr;
};

std::string SetAndQuery(const Query &q) {
  HKEY key = Contract(KEY_WRITE);
  LONG set = RegSetValueExA(key, "ShowAllModes", 0, q.type,
                            reinterpret_cast<const BYTE *>(q.data), q.count);
  RegCloseKey(key);
  key = Contract(KEY_QUERY_VALUE);
  BYTE bytes[16];
  memset(bytes, '#', sizeof bytes);
  DWORD size = q.buffer < 0 ? 0 : DWORD(q.buffer), type = 99;
  LONG status = RegQueryValueExA(key, "SHOWALLMODES", NULL, &type,
                                 q.buffer < 0 ? NULL : bytes, &size);
  RegCloseKey(key);
  return Join({set, status, long(size), long(type)}) + " " + Hex(bytes, 6);
}

const Query kQueries[] = {
    {"reg-query-sz", REG_SZ, "OFF#", 3, 16, "0 0 3 1 4f4646232323",
     "stricter on purpose: NT (and Wine) write a NUL after a REG_SZ when "
     "the buffer has room (Wine's dlls/advapi32/tests/registry.c, "
     "test_string_termination); no source shows Windows 95/98 doing so, and "
     "the simulation copies the stored bytes only, so that a reader that "
     "does not end what it read fails the checks"},
    {"reg-query-sz-exact-size", REG_SZ, "OFF#", 3, 3, "0 0 3 1 4f4646232323"},
    {"reg-query-sz-small-buffer", REG_SZ, "OFF#", 3, 2,
     "0 234 3 1 232323232323"},
    {"reg-query-no-buffer", REG_SZ, "OFF#", 3, -1, "0 0 3 1 232323232323"},
    {"reg-query-sz-with-nul", REG_SZ, "ON\0#", 3, 16, "0 0 3 1 4f4e00232323"},
    {"reg-query-zero-length", REG_SZ, "#", 0, 16, "0 0 0 1 232323232323"},
    {"reg-query-binary", REG_BINARY, "\x08\0#", 2, 16, "0 0 2 3 080023232323"},
    {"reg-query-binary-small-buffer", REG_BINARY, "\x08\x07\x06#", 3, 2,
     "0 234 3 3 232323232323"},
    {"reg-set-counts-bytes-before-a-nul", REG_SZ, "ON", 2, -1,
     "0 0 2 1 232323232323",
     "stricter on purpose: Windows stores the NUL that follows a text "
     "counted without it (NT adds it: Wine's dlls/advapi32/tests/"
     "registry.c, test_string_termination; Windows 95/98 store a text with "
     "its NUL whatever the count: the same test's older Win9x answers); the "
     "simulation keeps the bytes counted, so that the checks see the count "
     "the program passed and a reader that relies on the NUL fails them"},
};

// ----------------------------------------------------------------- strings

// LoadStringA of the title (CP950 4352542fc461b1bea6a1a7ebbc76bef7) into
// '#'-filled buffers of 64, 16, 6 and 1 bytes, then of an unknown string:
// each answer and the bytes up to one past the terminator.
std::string LoadStrings() {
  std::string out;
  for (int size : {64, 16, 6, 1, -64}) {
    char buffer[64];
    memset(buffer, '#', sizeof buffer);
    int n = LoadStringA(WorldInstance(), size < 0 ? 9999 : IDS_APP_TITLE,
                        buffer, size < 0 ? -size : size);
    out += (out.empty() ? "" : " | ") + std::to_string(n) + " " +
           Hex(buffer, n + 2);
  }
  return out;
}

// wsprintfA with the program's formats, then past its limit of 1024 bytes;
// lstrlenA; lstrcmpiA's order (as -1, 0 or 1) of "ON" and five others.
std::string Strings() {
  char buffer[1100];
  int n = wsprintfA(buffer, "%s|%lu|%s", "OFF", DWORD(4294967295u), "ON");
  std::string out = std::to_string(n) + " " + buffer;
  n = wsprintfA(buffer, "%s", std::string(2000, 'x').c_str());
  std::vector<long> answers = {n, long(strlen(buffer)), lstrlenA("ON"),
                               lstrlenA(buffer), lstrlenA("")};
  for (const char *other : {"on", "ON ", "OFF", "oM", "oo"}) {
    int order = lstrcmpiA("ON", other);
    answers.push_back(order < 0 ? -1 : order > 0);
  }
  return out + " " + Join(answers);
}

// ------------------------------------------------------------------- menus

// The program's kind of menu: a command, a separator, a greyed command.
// EnableMenuItem and CheckMenuItem answer the previous state, -1 for an
// item that is not there; GetMenuState shows a separator's state.
std::string Menus() {
  HMENU m = CreatePopupMenu();
  AppendMenuA(m, MF_STRING, 9001, "640x480   60Hz");
  AppendMenuA(m, MF_SEPARATOR, 0, "");
  AppendMenuA(m, MF_STRING | MF_GRAYED, 9002, "640x480   72Hz");
  const UINT at = MF_BYPOSITION;
  std::vector<long> answers = {EnableMenuItem(m, 9001, MF_GRAYED),
                               EnableMenuItem(m, 9001, MF_ENABLED),
                               EnableMenuItem(m, 9002, MF_ENABLED),
                               EnableMenuItem(m, 9001, MF_DISABLED),
                               EnableMenuItem(m, 9001, MF_ENABLED),
                               EnableMenuItem(m, 9003, MF_GRAYED),
                               EnableMenuItem(m, 3, at | MF_GRAYED),
                               LONG(GetMenuState(m, 1, at)),
                               EnableMenuItem(m, 1, at | MF_GRAYED),
                               LONG(GetMenuState(m, 2, at)),
                               LONG(CheckMenuItem(m, 9001, MF_CHECKED)),
                               LONG(CheckMenuItem(m, 9001, MF_CHECKED)),
                               LONG(CheckMenuItem(m, 0, at | MF_UNCHECKED)),
                               LONG(CheckMenuItem(m, 9003, MF_CHECKED)),
                               LONG(GetMenuState(m, 0, at)),
                               DestroyMenu(m),
                               DestroyMenu(m),
                               AppendMenuA(m, MF_STRING, 9003, "x")};
  return Join(answers);
}

// ----------------------------------------------------- windows and messages

std::vector<long> seen; // WM_CREATE, WM_DESTROY, WM_CLOSE, WM_USER and up
LRESULT createAnswer;   // what WM_CREATE answers
int quitCode;           // WM_DESTROY posts a quit with it, unless 0

// The thread's windows EnumThreadWindows lists: whether `window` and a
// window of the dialog class were among them, and how many were listed
// before the procedure stopped it (0: it runs through).
struct ThreadWindows {
  HWND window;
  long sawWindow, sawBox, stopAfter, listed;
  HWND box;
};

BOOL CALLBACK ListThreadWindow(HWND window, LPARAM lParam) {
  ThreadWindows *list = reinterpret_cast<ThreadWindows *>(lParam);
  char name[16] = "";
  GetClassNameA(window, name, sizeof name);
  list->sawWindow |= window == list->window;
  if (!strcmp(name, "#32770")) {
    list->sawBox = 1;
    list->box = window;
  }
  return ++list->listed != list->stopAfter;
}

void FindBoxInsideItsLoop() {
  ThreadWindows list = {NULL, 0, 0, 0, 0, NULL};
  seen.push_back(EnumThreadWindows(GetCurrentThreadId(), ListThreadWindow,
                                   reinterpret_cast<LPARAM>(&list)));
  seen.push_back(list.sawBox);
  seen.push_back(list.box != NULL && SetForegroundWindow(list.box) != 0);
  PostQuitMessage(9);
}

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
  if (message == WM_CREATE || message == WM_DESTROY || message == WM_CLOSE ||
      message >= WM_USER)
    seen.push_back(long(message));
  if (message == WM_CREATE)
    return createAnswer;
  if (message == WM_DESTROY && quitCode)
    PostQuitMessage(quitCode);
  // Sent on to a box's or menu's loop by the two cases below: the first
  // ends the box's loop with a quit, the second tries a second menu and
  // ends the open one.
  if (message == WM_USER + 5)
    PostQuitMessage(9);
  if (message == WM_USER + 7)
    FindBoxInsideItsLoop();
  if (message == WM_USER + 6) {
    seen.push_back(TrackPopupMenu(reinterpret_cast<HMENU>(lParam), 0, 0, 0, 0,
                                  window, NULL));
    EndMenu();
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

ATOM Register(const char *name) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Recorder;
  wc.hInstance = WorldInstance();
  wc.lpszClassName = name;
  return RegisterClassA(&wc);
}

// A hidden window, as the program makes its own; `seen` then holds what
// arrived during the call.
HWND MakeWindow(LRESULT answer) {
  Register("ContractWindow");
  seen.clear();
  createAnswer = answer;
  quitCode = 0;
  return CreateWindowExA(0, "contractwindow", "Contract Title",
                         WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, NULL, NULL,
                         WorldInstance(), NULL);
}

std::string WindowCreate() {
  long first = Register("ContractTwice") != 0;
  long again = Register("CONTRACTTWICE") != 0;
  HWND window = MakeWindow(0);
  std::string inside = Join(seen);
  std::vector<long> found = {FindWindowA("ContractWindow", NULL) == window,
                             FindWindowA("CONTRACTWINDOW", "contract title") ==
                                 window,
                             FindWindowA(NULL, "Contract Title") == window,
                             FindWindowA("ContractWindow", "Other") != NULL,
                             FindWindowA("ContractMissing", NULL) != NULL};
  DestroyWindow(window);
  found.push_back(FindWindowA("ContractWindow", NULL) != NULL);
  return Join({first, again, window != NULL}) + " | " + inside + " | " +
         Join(seen) + " | " + Join(found);
}

std::string WindowRefused() {
  long made = MakeWindow(-1) != NULL;
  return Join({made}) + " | " + Join(seen);
}

// Posted messages in order, WM_CLOSE destroying the window and its
// WM_DESTROY posting a quit; then the window is gone for good.
std::string WindowQueue() {
  HWND window = MakeWindow(0);
  quitCode = 7;
  PostMessageA(window, WM_USER, 0, 0);
  PostMessageA(window, WM_CLOSE, 0, 0);
  PostMessageA(window, WM_USER + 2, 0, 0);
  std::vector<long> got;
  MSG msg;
  BOOL status;
  while ((status = GetMessageA(&msg, NULL, 0, 0)) > 0) {
    if (msg.message == WM_CLOSE || msg.message >= WM_USER)
      got.push_back(long(msg.message));
    DispatchMessageA(&msg);
  }
  UINT a = RegisterWindowMessageA("TaskbarCreated");
  return Join({status, long(msg.message), long(msg.wParam)}) + " | " +
         Join(got) + " | " + Join(seen) + " | " +
         Join({IsWindow(window), DestroyWindow(window),
               PostMessageA(window, WM_USER, 0, 0),
               a == RegisterWindowMessageA("taskbarcreated"), a >= 0xC000});
}

// A message box's own loop hands a message posted to another window of
// the thread to that window; a quit ends the box, which answers as if OK
// was pressed, and is posted again for the loop below.
std::string BoxLoop() {
  HWND window = MakeWindow(0);
  PostMessageA(window, WM_USER + 5, 0, 0);
  long answer = MessageBoxA(NULL, "contract", "contract", MB_OKCANCEL);
  MSG quit = {};
  long again = PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE);
  DestroyWindow(window);
  return Join({answer}) + " | " + Join(seen) + " | " +
         Join({again, long(quit.wParam)});
}

// The thread's top-level windows: a hidden one of the program's, and a
// message box's while it is open, of the dialog class "#32770", which can
// be brought to the front; a procedure that answers FALSE stops the
// enumeration, which then answers FALSE.  GetClassNameA gives the class
// as registered, cut to the buffer.
std::string ThreadWindowsAndBox() {
  HWND window = MakeWindow(0);
  ThreadWindows all = {window, 0, 0, 0, 0, NULL};
  long through = EnumThreadWindows(GetCurrentThreadId(), ListThreadWindow,
                                   reinterpret_cast<LPARAM>(&all));
  ThreadWindows first = {window, 0, 0, 1, 0, NULL};
  long stopped = EnumThreadWindows(GetCurrentThreadId(), ListThreadWindow,
                                   reinterpret_cast<LPARAM>(&first));
  char name[64] = "";
  long whole = GetClassNameA(window, name, sizeof name);
  std::string registered = name;
  long cut = GetClassNameA(window, name, 8);
  PostMessageA(window, WM_USER + 7, 0, 0);
  seen.clear();
  MessageBoxA(NULL, "contract", "contract", MB_OKCANCEL);
  MSG quit = {};
  PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE);
  DestroyWindow(window);
  return Join({through, all.sawWindow, all.sawBox, stopped, first.listed}) +
         " " + registered + " " + Join({whole, cut}) + " " + name + " | " +
         Join(seen);
}

// A second mutex of a name already taken is the same one, and says so
// through GetLastError; once every handle is closed the name is free.
std::string Mutexes() {
  const char name[] = "crtrate contract mutex";
  HANDLE first = CreateMutexA(NULL, FALSE, name);
  long firstError = long(GetLastError());
  HANDLE second = CreateMutexA(NULL, FALSE, name);
  long secondError = long(GetLastError());
  std::vector<long> answers = {first != NULL, firstError, second != NULL,
                               secondError, second != first};
  answers.push_back(CloseHandle(second));
  answers.push_back(CloseHandle(first));
  HANDLE third = CreateMutexA(NULL, FALSE, name);
  answers.push_back(long(GetLastError()));
  answers.push_back(CloseHandle(third));
  answers.push_back(CloseHandle(third));
  return Join(answers);
}

// A tracked popup menu's loop does the same; inside it a second
// TrackPopupMenu of the same menu is refused, and EndMenu closes it with
// nothing chosen.
std::string MenuLoop() {
  HWND window = MakeWindow(0);
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 9000, "contract");
  PostMessageA(window, WM_USER + 6, 0, reinterpret_cast<LPARAM>(menu));
  long tracked = TrackPopupMenu(menu, 0, 0, 0, 0, window, NULL);
  MSG msg = {};
  long chosen = PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE);
  DestroyMenu(menu);
  DestroyWindow(window);
  return Join({tracked, chosen}) + " | " + Join(seen);
}

// Window timers: SetTimer answers nonzero for a window's timer and again
// when the same one is set afresh; a WM_TIMER that has come due but was
// not taken is gone after KillTimer (the message is made only when the
// queue is read; one already taken stays the program's to handle);
// KillTimer of a timer no longer running, or never set, answers 0.  Then
// the double-click time.
std::string Timers() {
  HWND window = MakeWindow(0);
  long set = SetTimer(window, 1, 1, NULL) != 0;
  long again = SetTimer(window, 1, 1, NULL) != 0;
  MSG msg = {};
  long due = 0;
  for (long i = 0; i < 10000000 && !due; ++i)
    due = PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_NOREMOVE);
  long killed = KillTimer(window, 1);
  long left = PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE);
  std::vector<long> answers = {set,
                               again,
                               due,
                               killed,
                               left,
                               long(msg.wParam),
                               KillTimer(window, 1),
                               KillTimer(window, 77)};
  DestroyWindow(window);
  answers.push_back(GetDoubleClickTime());
  return Join(answers);
}

// What the program asks of a hidden window of its own and of the system
// around it: the cursor, the foreground, showing and updating, a key and
// another message through TranslateMessage, the module and its command
// line, the arrow cursor.
std::string Surroundings() {
  HWND window = MakeWindow(0);
  POINT at = {-1, -1};
  long cursor = GetCursorPos(&at);
  long inside = at.x >= 0 && at.y >= 0 && at.x < 1024 && at.y < 768;
  std::vector<long> answers = {cursor,
                               inside,
                               SetForegroundWindow(window) != 0,
                               ShowWindow(window, SW_HIDE),
                               UpdateWindow(window),
                               ShowWindow(window, SW_HIDE)};
  MSG key = {window, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
  MSG other = {window, WM_USER, 0, 0, 0, {0, 0}};
  answers.push_back(TranslateMessage(&key) != 0);
  answers.push_back(TranslateMessage(&other));
  DestroyWindow(window);
  answers.push_back(ShowWindow(window, SW_HIDE));
  answers.push_back(SetForegroundWindow(window));
  char title[64] = "";
  answers.push_back(
      LoadStringA(GetModuleHandleA(NULL), IDS_APP_TITLE, title, sizeof title));
  answers.push_back(GetModuleHandleA("crtrate-none.dll") == NULL);
  const char *line = GetCommandLineA();
  answers.push_back(line != NULL && line[0] != 0);
  answers.push_back(LoadCursorA(NULL, IDC_ARROW) != NULL);
  answers.push_back(LoadCursorA(WorldInstance(), IDC_ARROW) != NULL);
  return Join(answers);
}

// GetVersionExA with the record's size, with a size it does not know and
// with none.
std::string Version() {
  std::vector<long> answers;
  for (DWORD size : {DWORD(sizeof(OSVERSIONINFOA)), DWORD(100), DWORD(0)}) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = size;
    answers.push_back(GetVersionExA(&info));
    answers.push_back(info.dwPlatformId != 0);
  }
  return Join(answers);
}

// ShellExecuteA answers above 32 when the program starts, and
// ERROR_FILE_NOT_FOUND (2) for a program that does not exist.
std::string Launch() {
  INT_PTR started = reinterpret_cast<INT_PTR>(
      ShellExecuteA(NULL, NULL, "RUNDLL32.EXE", "", NULL, SW_SHOWNORMAL));
  INT_PTR missing = reinterpret_cast<INT_PTR>(
      ShellExecuteA(NULL, NULL, "CRTRATE-NONE.EXE", "", NULL, SW_SHOWNORMAL));
  return Join({started > 32, long(missing)});
}

// -------------------------------------------------------------------- GDI

// Screen measures (the rate as Hz, or 0 or 1 for the hardware's default)
// and a display DC, whose escape 0x3000 no driver here answers.
std::string Gdi() {
  HDC screen = GetDC(NULL);
  int hz = GetDeviceCaps(screen, VREFRESH);
  std::vector<long> answers = {
      GetDeviceCaps(screen, HORZRES),     GetDeviceCaps(screen, VERTRES),
      GetDeviceCaps(screen, BITSPIXEL),   GetDeviceCaps(screen, PLANES),
      hz <= 1 || (hz >= 40 && hz <= 200), ReleaseDC(NULL, screen)};
  HDC dc = CreateDCA("DISPLAY", NULL, NULL, NULL);
  DWORD in = 7, out = 0xEEEEEEEE;
  for (int escape : {0x3000, 0x3001})
    answers.push_back(ExtEscape(dc, escape, 4, reinterpret_cast<LPCSTR>(&in), 4,
                                reinterpret_cast<LPSTR>(&out)));
  answers.insert(answers.end(),
                 {GetDeviceCaps(dc, HORZRES), DeleteDC(dc), DeleteDC(dc)});
  return Join(answers) + " " + Hex(&out, 4);
}

// The listed mode of the desktop's size and depth, with the four fields
// the program sets; its rate is the list's, not GetDeviceCaps' (a virtual
// X screen lists its modes with 0), and a rate not listed is refused.
DEVMODEA Listed(long *found) {
  HDC dc = GetDC(NULL);
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  for (DWORD i = 0; EnumDisplaySettingsA(NULL, i, &mode); ++i)
    if (long(mode.dmPelsWidth) == GetDeviceCaps(dc, HORZRES) &&
        long(mode.dmPelsHeight) == GetDeviceCaps(dc, VERTRES) &&
        long(mode.dmBitsPerPel) == GetDeviceCaps(dc, BITSPIXEL))
      break;
  ReleaseDC(NULL, dc);
  // Wine leaves DM_DISPLAYFREQUENCY out where the X server has no rate.
  *found = (mode.dmFields & DM_PELSWIDTH) && (mode.dmFields & DM_BITSPERPEL);
  mode.dmFields =
      DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL | DM_DISPLAYFREQUENCY;
  DEVMODEA past = mode;
  found[1] = EnumDisplaySettingsA(NULL, 5000, &past);
  return mode;
}

long StoredRate() {
  HKEY key = NULL;
  RegOpenKeyExA(HKEY_CURRENT_CONFIG, "Display\\Settings", 0, KEY_READ, &key);
  char rate[8] = "";
  DWORD size = sizeof rate;
  long status = RegQueryValueExA(key, "RefreshRate", NULL, NULL,
                                 reinterpret_cast<BYTE *>(rate), &size);
  RegCloseKey(key);
  return status ? -status : atol(rate);
}

// The mode found, the list's end, then CDS_TEST and CDS_UPDATEREGISTRY |
// CDS_RESET to it, each with the rate stored for Windows 9x after it.
std::string DisplayAnswers() {
  long found[2];
  DEVMODEA mode = Listed(found);
  long test = ChangeDisplaySettingsA(&mode, 0x2 /* CDS_TEST */);
  long rate = StoredRate();
  long reset = ChangeDisplaySettingsA(&mode, CDS_UPDATEREGISTRY | CDS_RESET);
  return Join({found[0], found[1], test, rate, reset});
}

// CDS_TEST of the listed mode in a record whose dmSize is 0, then in the
// Windows 95 / NT 4.0 form of 148 bytes, as the program sends it.
std::string DisplayRecordSize() {
  long found[2];
  DEVMODEA mode = Listed(found);
  std::vector<long> answers;
  for (WORD size : {WORD(0), WORD(148)}) {
    mode.dmSize = size;
    answers.push_back(ChangeDisplaySettingsA(&mode, 0x2 /* CDS_TEST */));
  }
  return Join(answers);
}

std::string DisplayUpdateRegistry() {
  long found[2];
  DEVMODEA mode = Listed(found);
  return Join(
      {ChangeDisplaySettingsA(&mode, CDS_UPDATEREGISTRY), StoredRate()});
}

// ------------------------------------------------------- shell and devices

std::string Shell() {
  HWND window = MakeWindow(0);
  NOTIFYICONDATAA nid = {};
  nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
  nid.hWnd = window;
  nid.uID = nid.uCallbackMessage = 1225;
  nid.uFlags = NIF_MESSAGE | NIF_TIP;
  strcpy(nid.szTip, "contract");
  std::vector<long> answers;
  for (DWORD op :
       {NIM_ADD, NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_DELETE, NIM_MODIFY})
    answers.push_back(Shell_NotifyIconA(op, &nid));
  DestroyWindow(window);
  HINSTANCE self = WorldInstance();
  HANDLE icon = LoadImageA(self, MAKEINTRESOURCEA(IDI_DRIVER_READY), IMAGE_ICON,
                           16, 16, LR_DEFAULTCOLOR);
  answers.insert(answers.end(),
                 {icon != NULL,
                  LoadImageA(self, MAKEINTRESOURCEA(8111), IMAGE_ICON, 16, 16,
                             LR_DEFAULTCOLOR) != NULL,
                  DestroyIcon(static_cast<HICON>(icon))});
  answers.push_back(CreateFileA("\\\\.\\KqSWITCH.VXD", 0, 0, NULL, 0,
                                FILE_FLAG_DELETE_ON_CLOSE,
                                NULL) == INVALID_HANDLE_VALUE);
  return Join(answers);
}

// The first, 88-byte form of the tray record and then the full one, each
// added and deleted.
std::string ShellRecordSizes() {
  HWND window = MakeWindow(0);
  NOTIFYICONDATAA nid = {};
  nid.hWnd = window;
  nid.uID = 1225;
  std::vector<long> answers;
  for (DWORD size : {DWORD(NOTIFYICONDATAA_V1_SIZE), DWORD(sizeof nid)}) {
    nid.cbSize = size;
    answers.push_back(Shell_NotifyIconA(NIM_ADD, &nid));
    answers.push_back(Shell_NotifyIconA(NIM_DELETE, &nid));
  }
  DestroyWindow(window);
  return Join(answers);
}

// ------------------------------------------------------------------- cases
struct Case {
  const char *name;
  std::string (*run)();
  const char *expected;
  const char *follows; // the system followed where Wine differs, and why
  const char *holds;   // the imports of the program whose answers it shows
};

const Case kCases[] = {
    {"reg-open-missing-letter-case-empty-name", RegOpen, "2 0 0", NULL,
     "RegOpenKeyExA RegCloseKey"},
    {"reg-open-reserved-options", RegOpenOptions, "87",
     "stricter on purpose: the RegOpenKeyEx page of the Windows API "
     "reference of that time calls ulOptions reserved and to be zero, "
     "without saying what another value does; Wine takes any (ntdll's "
     "NtOpenKeyEx only notes it), the simulation refuses it so that a "
     "program passing one fails its checks",
     "RegOpenKeyExA"},
    {"reg-open-doubled-backslash", RegDoubledBackslash, "2",
     "stricter on purpose: no source shows what Windows 95/98 or NT 4.0 "
     "make of an empty name between two backslashes; later Windows takes "
     "them as one (Wine's dlls/ntdll/tests/reg.c, test_NtCreateKey), as "
     "Wine does; the simulation finds no such key, so that a path built "
     "with an empty adapter name is seen to fail rather than to write "
     "elsewhere",
     "RegOpenKeyExA"},
    {"reg-access-and-handles", RegAccess, "5 0 5 2 0 6", NULL,
     "RegSetValueExA RegQueryValueExA RegCloseKey"},
    {"wsprintf-lstrlen-lstrcmpi", Strings,
     "17 OFF|4294967295|ON 1024 1023 2 1023 0 0 -1 1 1 -1", NULL,
     "wsprintfA lstrlenA lstrcmpiA"},
    {"loadstring-cp950-truncation", LoadStrings,
     "16 4352542fc461b1bea6a1a7ebbc76bef70023 | "
     "14 4352542fc461b1bea6a1a7ebbc760023 | 4 4352542f0023 | 0 0023 | 0 0023",
     NULL, "LoadStringA"},
    {"menu-previous-states-separator-destroy-twice", Menus,
     "0 1 1 0 2 -1 -1 2051 3 0 0 8 8 -1 0 1 0 0", NULL,
     "CreatePopupMenu AppendMenuA EnableMenuItem CheckMenuItem DestroyMenu"},
    {"window-create-sends-wm-create-inside-find", WindowCreate,
     "1 0 1 | 1 | 1 2 | 1 1 1 0 0 0", NULL,
     "RegisterClassA CreateWindowExA FindWindowA DestroyWindow DefWindowProcA"},
    {"window-create-refused", WindowRefused, "0 | 1 2",
     "a window whose WM_CREATE answers -1 is destroyed (WM_CREATE, Windows "
     "API reference); stricter on purpose in sending it WM_DESTROY, as "
     "DestroyWindow does, which no source shows for that case and Wine "
     "does not do: a window procedure must be ready for it",
     "CreateWindowExA"},
    {"window-queue-order-quit-and-registered-message", WindowQueue,
     "0 18 7 | 1024 16 | 1 1024 16 2 | 0 0 0 1 1", NULL,
     "PostMessageA GetMessageA DispatchMessageA PostQuitMessage IsWindow "
     "RegisterWindowMessageA"},
    {"window-box-loop-dispatches-and-ends-on-quit", BoxLoop,
     "1 | 1 1029 2 | 1 9", NULL, "MessageBoxA PeekMessageA"},
    {"window-thread-windows-and-box-class", ThreadWindowsAndBox,
     "1 1 0 0 1 ContractWindow 14 7 Contrac | 1031 1 1 1 2", NULL,
     "EnumThreadWindows GetCurrentThreadId GetClassNameA"},
    {"kernel-mutex-second-handle-and-last-error", Mutexes,
     "1 0 1 183 1 1 1 0 1 0", NULL, "CreateMutexA GetLastError CloseHandle"},
    {"window-menu-loop-dispatches-refuses-second-menu", MenuLoop,
     "1 0 | 1 1030 0 2", NULL, "TrackPopupMenu"},
    {"window-timers-and-double-click-time", Timers, "1 1 1 1 0 1 0 0 500", NULL,
     "SetTimer KillTimer GetDoubleClickTime"},
    {"window-cursor-foreground-show-translate-module", Surroundings,
     "1 1 1 0 1 0 1 0 0 0 16 1 1 1 0", NULL,
     "GetCursorPos SetForegroundWindow ShowWindow UpdateWindow "
     "TranslateMessage GetModuleHandleA GetCommandLineA LoadCursorA"},
    {"version-record-sizes", Version, "1 1 0 0 0 0", NULL, "GetVersionExA"},
    {"shell-execute-started-and-missing", Launch, "1 2", NULL, "ShellExecuteA"},
    {"gdi-screen-display-dc-unknown-escape", Gdi,
     "1024 768 16 1 1 1 0 0 1024 1 0 eeeeeeee", NULL,
     "GetDC GetDeviceCaps ReleaseDC CreateDCA ExtEscape DeleteDC"},
    {"display-enum-cds-test-and-reset", DisplayAnswers, "1 0 0 -2 0", NULL,
     "EnumDisplaySettingsA ChangeDisplaySettingsA"},
    {"display-cds-record-size", DisplayRecordSize, "-2 0",
     "stricter on purpose: a record whose dmSize ends before the fields "
     "it names is refused; the ChangeDisplaySettingsA of later Windows "
     "takes a dmSize of 0 (Wine's dlls/user32/tests/monitor.c, "
     "test_ChangeDisplaySettingsEx), and no source shows what Windows 95 "
     "and NT 4.0 make of it",
     "ChangeDisplaySettingsA"},
    {"display-cds-updateregistry", DisplayUpdateRegistry, "0 60",
     "assumed, no source found: Windows 98 keeps the rate of a mode set "
     "with CDS_UPDATEREGISTRY in HKCC\\Display\\Settings \"RefreshRate\", "
     "where its Display control panel keeps the rate chosen and the older "
     "driver reads it; Wine keeps it elsewhere",
     "ChangeDisplaySettingsA"},
    {"shell-tray-icons-device", Shell, "1 0 1 1 0 0 1 0 1 1", NULL,
     "Shell_NotifyIconA LoadImageA DestroyIcon CreateFileA"},
    {"shell-tray-record-sizes", ShellRecordSizes, "1 1 0 0",
     "stricter on purpose: the NOTIFYICONDATA page warns that a record of "
     "a later, larger form may not work with the Shell32.dll of Windows "
     "95, 98 and NT 4.0, which knows only the first, 88-byte form; the "
     "simulation refuses the others, so that a program that does not send "
     "the first form fails its checks; Wine's shell takes every form",
     "Shell_NotifyIconA"},
};

// What the simulation follows that no case here can show under Wine, each
// with why and its source, and the imports of the program that no case can
// hold (listed in `functions`).  `crtrate-contract --marks` prints them
// with the cases' marks; --held names every import a case or an entry
// accounts for, which tests/contract/held.py holds against the release
// exe's import table.
struct Unshown {
  const char *name;
  const char *functions; // imports it accounts for, if any
  const char *text;
};

const Unshown kUnshown[] = {
    {"switch-device-requests", "DeviceIoControl CloseHandle",
     "the switch device is a Windows 95/98 VxD, and Wine loads none: "
     "CreateFileA of its name fails (shell-tray-icons-device), so no "
     "request reaches a device and no handle of one is closed"},
    {"process-exit", "ExitProcess",
     "ends the process that prints these lines; the exit code it carries "
     "is read from each program run by the end-to-end tests instead"},
    {"tray-click-needs-nif-message", "",
     "the shell sends a click on a tray icon only as the callback message "
     "of a record added or modified with NIF_MESSAGE: uCallbackMessage is "
     "valid only with that flag (NOTIFYICONDATA, Windows API reference); a "
     "click needs a user at a real desktop"},
    {"tray-menu-foreground", "",
     "a popup menu whose owner is not the foreground window stays open when "
     "the user clicks elsewhere, and after TrackPopupMenu the next menu of "
     "the same owner closes at once until the owner gets a posted message "
     "(TrackPopupMenu, Windows API reference, Remarks; Knowledge Base "
     "Q135788); it needs a user's clicks"},
    {"loop-without-window", "",
     "stricter on purpose: nothing ends a thread's message loop but a "
     "WM_QUIT (GetMessage, Windows API reference), so a program whose "
     "windows are gone and that posted no quit waits on unseen until "
     "log-off, which ends it without a word; the simulation reports that "
     "as a hang, so that no check passes it"},
    {"menu-loop-ends-on-quit", "",
     "stricter on purpose: a WM_QUIT ends a tracked menu, which posts it "
     "again for the loop below, as modal loops should (Raymond Chen, "
     "\"Modality, part 3: The WM_QUIT message\", The Old New Thing, "
     "2005); Wine's menu loop drops the quit and stays open, which leaves "
     "the program nothing to handle"},
    {"taskbar-created-ie4-shells", "",
     "only a shell of Internet Explorer 4.0's desktop (Windows 98's own, or "
     "one installed on Windows 95 or NT 4.0) broadcasts \"TaskbarCreated\" "
     "when it starts; the original shell of Windows 95 and NT 4.0 sends "
     "nothing, so the icons it lost stay away (\"Taskbar Creation "
     "Notification\", Windows Shell documentation); Wine's explorer never "
     "sends it, and ending it takes the program's window along"},
    {"vxd-on-nt", "",
     "Windows NT has no VxDs: \"\\\\.\\NAME.VXD\" opens nothing there "
     "(Windows 95 DDK, \"Dynamically Loadable VxDs\"); Wine has none "
     "either, on any version"},
};

// Calls `each(function)` for every name in the blank-separated `names`.
template <typename Each> void ForEachName(const char *names, Each each) {
  std::string list = names;
  for (size_t at = 0; at < list.size();) {
    size_t end = list.find(' ', at);
    if (end == std::string::npos)
      end = list.size();
    if (end > at)
      each(list.substr(at, end - at));
    at = end + 1;
  }
}

// --held: "held <function> by <case or entry>", one line each.
void PrintHeld() {
  for (const Case &c : kCases)
    ForEachName(c.holds, [&](const std::string &f) {
      printf("held %s by %s\n", f.c_str(), c.name);
    });
  for (const Query &q : kQueries)
    ForEachName("RegSetValueExA RegQueryValueExA", [&](const std::string &f) {
      printf("held %s by %s\n", f.c_str(), q.name);
    });
  for (const Unshown &u : kUnshown)
    ForEachName(u.functions, [&](const std::string &f) {
      printf("held %s by %s\n", f.c_str(), u.name);
    });
}

} // namespace

int main(int argc, char **argv) {
  const char *mode = argc > 1 ? argv[1] : "";
  bool marks = !strcmp(mode, "--marks"), check = !strcmp(mode, "--check");
  int failed = 0;
  auto run = [&](const char *name, const char *follows, const char *expected,
                 auto answers) {
    if (marks && follows)
      printf("%s: %s\n", name, follows);
    if (marks)
      return;
    WorldReset();
    std::string line = answers();
    printf("%s: %s\n", name, line.c_str());
    fflush(stdout);
    if (check && line != expected) {
      fprintf(stderr, "%s: expected %s\n", name, expected);
      ++failed;
    }
  };
  if (!strcmp(mode, "--held")) {
    PrintHeld();
    return 0;
  }
  for (const Case &c : kCases)
    run(c.name, c.follows, c.expected, c.run);
  for (const Query &q : kQueries)
    run(q.name, q.follows, q.expected, [&] { return SetAndQuery(q); });
  for (const Unshown &u : kUnshown)
    if (marks)
      printf("%s: %s\n", u.name, u.text);
  return failed ? 1 : 0;
}
