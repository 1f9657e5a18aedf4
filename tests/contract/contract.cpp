// The contract cases: each runs Win32 calls the program makes, in the way
// it makes them, and prints what came back as one line.  `expected` is the
// simulation's line, checked by the native build (--check); `follows` marks
// a case where the simulation deliberately answers as Windows 95/98 or
// NT 4.0 do and Wine does not, naming the system and the difference.
//
//   crtrate-contract           print every case's line
//   crtrate-contract --check   print them, fail on any line not expected
//   crtrate-contract --marks   print the marked cases and their reasons
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/contract/contract.h"

namespace {

struct Case {
  const char *name;
  std::function<std::string()> run;
  const char *expected;
  const char *follows = nullptr;
};

std::string Fmt(const char *format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string Hex(const void *data, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i)
    out += Fmt("%02x", static_cast<const unsigned char *>(data)[i]);
  return out;
}

// Answers joined by blanks.
std::string Join(const std::vector<long> &values) {
  std::string out;
  for (long value : values)
    out += (out.empty() ? "" : " ") + Fmt("%ld", value);
  return out;
}

// ---------------------------------------------------------------- registry

HKEY Contract(REGSAM access) {
  HKEY key = NULL;
  RegOpenKeyExA(HKEY_CURRENT_CONFIG, "Contract", 0, access, &key);
  return key;
}

long OpenStatus(const char *path) {
  HKEY key;
  LONG status = RegOpenKeyExA(HKEY_CURRENT_CONFIG, path, 0, KEY_READ, &key);
  if (status == ERROR_SUCCESS)
    RegCloseKey(key);
  return status;
}

// Stores `count` bytes of `data` as "ShowAllModes", as the program writes,
// and reads it back under another letter case into a '#'-filled buffer of
// `buffer` bytes (-1: no buffer): the set's and the query's status, the
// size and type reported, the buffer's first six bytes.
std::string SetAndQuery(DWORD type, const char *data, DWORD count, int buffer) {
  HKEY key = Contract(KEY_WRITE);
  LONG set = RegSetValueExA(key, "ShowAllModes", 0, type,
                            reinterpret_cast<const BYTE *>(data), count);
  RegCloseKey(key);
  key = Contract(KEY_QUERY_VALUE);
  BYTE bytes[16];
  memset(bytes, '#', sizeof bytes);
  DWORD size = buffer < 0 ? 0 : DWORD(buffer), got = 99;
  LONG status = RegQueryValueExA(key, "SHOWALLMODES", NULL, &got,
                                 buffer < 0 ? NULL : bytes, &size);
  RegCloseKey(key);
  return Join({set, status, long(size), long(got)}) + " " + Hex(bytes, 6);
}

// The 9x/NT difference in one line, for the cases it shows in.
const char kNtTerminates[] =
    "Windows 98: RegQueryValueExA copies the stored bytes only; NT (and Wine) "
    "also write a NUL after a REG_SZ when the buffer has room";

// ----------------------------------------------------------------- strings

// LoadStringA of `id` into a '#'-filled buffer of `size` bytes: the answer
// and the bytes up to one past the terminator.
std::string Load(UINT id, int size) {
  char buffer[64];
  memset(buffer, '#', sizeof buffer);
  int n = LoadStringA(WorldInstance(), id, buffer, size);
  return Fmt("%d ", n) + Hex(buffer, n + 2);
}

std::string Print(int (*print)(char *)) {
  char buffer[1100];
  int n = print(buffer);
  return Fmt("%d ", n) + buffer;
}

int Sign(int value) { return value < 0 ? -1 : value > 0; }

// ------------------------------------------------------------------- menus

enum Op { Enable, Check, State };
struct Step {
  Op op;
  UINT item;
  UINT flags;
};

// Runs `steps` on the program's kind of menu: a command, a separator and a
// greyed command; answers are shown as signed numbers (-1: no such item).
std::string MenuSteps(const std::vector<Step> &steps) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 9001, "640x480   60Hz");
  AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
  AppendMenuA(menu, MF_STRING | MF_GRAYED, 9002, "640x480   72Hz");
  std::vector<long> answers;
  for (const Step &s : steps)
    answers.push_back(s.op == Enable ? EnableMenuItem(menu, s.item, s.flags)
                      : s.op == Check
                          ? LONG(CheckMenuItem(menu, s.item, s.flags))
                          : LONG(GetMenuState(menu, s.item, s.flags)));
  DestroyMenu(menu);
  return Join(answers);
}

// ----------------------------------------------------- windows and messages

std::vector<long> seen; // WM_CREATE, WM_DESTROY, WM_CLOSE, WM_USER and up
LRESULT createAnswer;   // what WM_CREATE answers
int quitCode;           // WM_DESTROY posts a quit with it, unless 0

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
  if (message == WM_CREATE || message == WM_DESTROY || message == WM_CLOSE ||
      message >= WM_USER)
    seen.push_back(long(message));
  if (message == WM_CREATE)
    return createAnswer;
  if (message == WM_DESTROY && quitCode)
    PostQuitMessage(quitCode);
  return DefWindowProcA(window, message, wParam, lParam);
}

ATOM Register(const char *name) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Recorder;
  wc.hInstance = WorldInstance();
  wc.lpszClassName = name;
  return RegisterClassA(&wc);
}

// A hidden window of the class "ContractWindow", as the program makes its
// own; `seen` then holds what arrived during the call.
HWND MakeWindow(LRESULT answer) {
  Register("ContractWindow");
  seen.clear();
  createAnswer = answer;
  quitCode = 0;
  return CreateWindowExA(0, "contractwindow", "Contract Title",
                         WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, NULL, NULL,
                         WorldInstance(), NULL);
}

std::string Queue() {
  HWND window = MakeWindow(0);
  quitCode = 7;
  PostMessageA(window, WM_USER, 0, 0);
  PostMessageA(window, WM_CLOSE, 0, 0); // destroys: WM_DESTROY, quit 7
  PostMessageA(window, WM_USER + 2, 0, 0);
  std::vector<long> got;
  MSG msg;
  BOOL status;
  while ((status = GetMessageA(&msg, NULL, 0, 0)) > 0) {
    if (msg.message == WM_CLOSE || msg.message >= WM_USER)
      got.push_back(long(msg.message));
    DispatchMessageA(&msg);
  }
  return Join({status, long(msg.message), long(msg.wParam)}) + " | " +
         Join(got) + " | " + Join(seen) + " | " +
         Join({IsWindow(window), DestroyWindow(window),
               PostMessageA(window, WM_USER, 0, 0)});
}

// -------------------------------------------------------------------- GDI

// The listed mode of the desktop's size and depth, with the four fields
// the program sets.  Its rate is the list's, not the one GetDeviceCaps
// reports: a virtual X screen under Wine may list its modes with another
// (0), and a request for a rate the list does not have is refused.
DEVMODEA Listed() {
  HDC dc = GetDC(NULL);
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  for (DWORD i = 0; EnumDisplaySettingsA(NULL, i, &mode); ++i)
    if (long(mode.dmPelsWidth) == GetDeviceCaps(dc, HORZRES) &&
        long(mode.dmPelsHeight) == GetDeviceCaps(dc, VERTRES) &&
        long(mode.dmBitsPerPel) == GetDeviceCaps(dc, BITSPIXEL))
      break;
  ReleaseDC(NULL, dc);
  mode.dmFields =
      DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL | DM_DISPLAYFREQUENCY;
  return mode;
}

// ChangeDisplaySettingsA to a listed mode with `flags`, then the
// "RefreshRate" that Windows 9x keeps in the hardware profile.
std::string ChangeToListed(DWORD flags) {
  DEVMODEA mode = Listed();
  long result = ChangeDisplaySettingsA(&mode, flags);
  HKEY key = NULL;
  RegOpenKeyExA(HKEY_CURRENT_CONFIG, "Display\\Settings", 0, KEY_READ, &key);
  char rate[8] = "#######";
  DWORD size = sizeof rate;
  long status = RegQueryValueExA(key, "RefreshRate", NULL, NULL,
                                 reinterpret_cast<BYTE *>(rate), &size);
  RegCloseKey(key);
  return Join({result, status}) +
         (status ? "" : " " + Hex(rate, size)); // NOLINT
}

// ------------------------------------------------------------------- cases

std::vector<Case> Cases() {
  return {
      // Registry: opening.
      {"reg-open-missing", [] { return Join({OpenStatus("Contract\\No")}); },
       "2"},
      {"reg-open-letter-case", [] { return Join({OpenStatus("CONTRACT")}); },
       "0"},
      {"reg-open-doubled-backslash",
       [] { return OpenStatus("Display\\\\Settings") ? "fails" : "opens"; },
       "fails",
       "Windows NT 4.0: the key search takes the empty name between two "
       "backslashes for a subkey \"\", which cannot exist; Wine collapses "
       "them"},
      {"reg-open-empty-name",
       [] {
         HKEY parent = Contract(KEY_READ), same = NULL;
         long status = RegOpenKeyExA(parent, "", 0, KEY_READ, &same);
         RegCloseKey(parent);
         long closed = RegCloseKey(same);
         return Join({status, closed});
       },
       "0 0"},
      // Registry: access masks and handles.
      {"reg-set-on-read-handle",
       [] {
         HKEY key = Contract(KEY_READ);
         long set = RegSetValueExA(key, "X", 0, REG_SZ,
                                   reinterpret_cast<const BYTE *>("ON"), 2);
         RegCloseKey(key);
         return Join({set});
       },
       "5"},
      {"reg-query-on-write-handle",
       [] {
         HKEY key = Contract(KEY_WRITE);
         long set = RegSetValueExA(key, "X", 0, REG_SZ,
                                   reinterpret_cast<const BYTE *>("ON"), 2);
         DWORD size = 0;
         long query = RegQueryValueExA(key, "X", NULL, NULL, NULL, &size);
         return Join({set, query, RegCloseKey(key), RegCloseKey(key)});
       },
       "0 5 0 6"},
      // Registry: what a query gives back.
      {"reg-query-sz", [] { return SetAndQuery(REG_SZ, "OFF#", 3, 16); },
       "0 0 3 1 4f4646232323", kNtTerminates},
      {"reg-query-sz-exact-size",
       [] { return SetAndQuery(REG_SZ, "OFF#", 3, 3); },
       "0 0 3 1 4f4646232323"},
      {"reg-query-sz-small-buffer",
       [] { return SetAndQuery(REG_SZ, "OFF#", 3, 2); },
       "0 234 3 1 232323232323"},
      {"reg-query-no-buffer", [] { return SetAndQuery(REG_SZ, "OFF#", 3, -1); },
       "0 0 3 1 232323232323"},
      {"reg-query-sz-written-with-nul",
       [] { return SetAndQuery(REG_SZ, "ON\0#", 3, 16); },
       "0 0 3 1 4f4e00232323"},
      {"reg-query-zero-length", [] { return SetAndQuery(REG_SZ, "#", 0, 16); },
       "0 0 0 1 232323232323"},
      {"reg-query-binary",
       [] { return SetAndQuery(REG_BINARY, "\x08\0#", 2, 16); },
       "0 0 2 3 080023232323"},
      {"reg-query-binary-small-buffer",
       [] { return SetAndQuery(REG_BINARY, "\x08\x07\x06#", 3, 2); },
       "0 234 3 3 232323232323"},
      {"reg-query-missing-value",
       [] {
         HKEY key = Contract(KEY_READ);
         DWORD size = 0;
         long query = RegQueryValueExA(key, "Other", NULL, NULL, NULL, &size);
         RegCloseKey(key);
         return Join({query});
       },
       "2"},
      {"reg-set-counts-bytes-before-a-nul",
       [] { return SetAndQuery(REG_SZ, "ON", 2, -1); }, "0 0 2 1 232323232323",
       "Windows 98: RegSetValueExA stores the bytes counted; NT (and Wine) "
       "add one for a NUL that follows a REG_SZ's counted bytes"},
      // Strings.
      {"loadstring-whole", [] { return Load(IDS_APP_TITLE, 64); },
       "16 4352542fc461b1bea6a1a7ebbc76bef70023"},
      {"loadstring-no-half-character", [] { return Load(IDS_APP_TITLE, 16); },
       "14 4352542fc461b1bea6a1a7ebbc760023"},
      {"loadstring-cut-before-first-character",
       [] { return Load(IDS_APP_TITLE, 6); }, "4 4352542f0023"},
      {"loadstring-one-byte", [] { return Load(IDS_APP_TITLE, 1); }, "0 0023"},
      {"loadstring-unknown-id", [] { return Load(9999, 64); }, "0 0023"},
      {"wsprintf-program-formats",
       [] {
         return Print([](char *b) {
           return wsprintfA(b, "%s|%lu|%s", "ON", DWORD(4294967295u), "OFF");
         });
       },
       "17 ON|4294967295|OFF"},
      {"wsprintf-signs",
       [] {
         return Print([](char *b) { return wsprintfA(b, "%d|%u", -5, -5); });
       },
       "13 -5|4294967291"},
      {"wsprintf-hex",
       [] {
         return Print(
             [](char *b) { return wsprintfA(b, "%x|%X|%#x", 255, 255, 255); });
       },
       "10 ff|FF|0xff"},
      {"wsprintf-widths",
       [] {
         return Print([](char *b) {
           return wsprintfA(b, "[%3d][%-3d][%03d]", 7, 7, 7);
         });
       },
       "15 [  7][7  ][007]"},
      {"wsprintf-char-percent-null-precision",
       [] {
         return Print([](char *b) {
           return wsprintfA(b, "%c%%%s|%.2s", 'A', (char *)NULL, "abc");
         });
       },
       "11 A%(null)|ab"},
      {"wsprintf-1024-byte-limit",
       [] {
         std::string text(2000, 'x');
         char buffer[1100];
         int n = wsprintfA(buffer, "%s", text.c_str());
         return Join({n, long(strlen(buffer))});
       },
       "1024 1023"},
      {"lstrcmpi-signs",
       [] {
         return Join({Sign(lstrcmpiA("ON", "on")), Sign(lstrcmpiA("on", "ON ")),
                      Sign(lstrcmpiA("OFF", "ON")),
                      Sign(lstrcmpiA("oN", "OFF"))});
       },
       "0 -1 -1 1"},
      {"lstrlen",
       [] {
         char title[32];
         LoadStringA(WorldInstance(), IDS_APP_TITLE, title, sizeof title);
         return Join({lstrlenA("ON"), lstrlenA(title), lstrlenA("")});
       },
       "2 16 0"},
      // Menus.
      {"menu-enable-answers-previous",
       [] {
         return MenuSteps({{Enable, 9001, MF_GRAYED},
                           {Enable, 9001, MF_ENABLED},
                           {Enable, 9002, MF_ENABLED},
                           {Enable, 9001, MF_DISABLED},
                           {Enable, 9001, MF_ENABLED}});
       },
       "0 1 1 0 2"},
      {"menu-separator",
       [] {
         return MenuSteps({{State, 1, MF_BYPOSITION},
                           {Enable, 1, MF_BYPOSITION | MF_GRAYED},
                           {State, 2, MF_BYPOSITION},
                           {State, 3, MF_BYPOSITION}});
       },
       "2051 3 1 -1"},
      {"menu-unknown-item",
       [] {
         return MenuSteps({{Enable, 9003, MF_GRAYED},
                           {Enable, 3, MF_BYPOSITION},
                           {Check, 9003, MF_CHECKED}});
       },
       "-1 -1 -1"},
      {"menu-check-answers-previous",
       [] {
         return MenuSteps({{Check, 9001, MF_CHECKED},
                           {Check, 9001, MF_CHECKED},
                           {Check, 0, MF_BYPOSITION | MF_UNCHECKED},
                           {State, 9001, MF_BYCOMMAND}});
       },
       "0 8 8 0"},
      {"menu-destroy-twice",
       [] {
         HMENU menu = CreatePopupMenu();
         long first = DestroyMenu(menu), second = DestroyMenu(menu);
         return Join({first, second, AppendMenuA(menu, MF_STRING, 1, "x")});
       },
       "1 0 0"},
      // Windows and messages.
      {"window-create-sends-wm-create-inside",
       [] {
         long first = Register("ContractTwice") != 0;
         long again = Register("CONTRACTTWICE") != 0;
         HWND window = MakeWindow(0);
         std::string inside = Join(seen);
         DestroyWindow(window);
         return Join({first, again, window != NULL}) + " | " + inside + " | " +
                Join(seen);
       },
       "1 0 1 | 1 | 1 2"},
      {"window-create-refused",
       [] {
         HWND window = MakeWindow(-1);
         return Join({window != NULL}) + " | " + Join(seen);
       },
       "0 | 1 2",
       "Windows NT 4.0: a window whose WM_CREATE answers -1 is destroyed as "
       "by DestroyWindow, WM_DESTROY included; Wine frees it without"},
      {"window-find",
       [] {
         HWND window = MakeWindow(0);
         std::vector<long> found = {
             FindWindowA("ContractWindow", NULL) == window,
             FindWindowA("CONTRACTWINDOW", "contract title") == window,
             FindWindowA(NULL, "Contract Title") == window,
             FindWindowA("ContractWindow", "Other") != NULL,
             FindWindowA("ContractMissing", NULL) != NULL};
         DestroyWindow(window);
         found.push_back(FindWindowA("ContractWindow", NULL) != NULL);
         return Join(found);
       },
       "1 1 1 0 0 0"},
      {"window-queue-order-and-quit", Queue,
       "0 18 7 | 1024 16 | 1 1024 16 2 | 0 0 0"},
      {"window-register-message",
       [] {
         UINT a = RegisterWindowMessageA("TaskbarCreated");
         UINT b = RegisterWindowMessageA("taskbarcreated");
         UINT c = RegisterWindowMessageA("ContractMessage");
         return Join({a == b, a >= 0xC000, c != a});
       },
       "1 1 1"},
      // GDI and display settings.
      {"gdi-screen",
       [] {
         HDC dc = GetDC(NULL);
         std::vector<long> caps = {GetDeviceCaps(dc, HORZRES),
                                   GetDeviceCaps(dc, VERTRES),
                                   GetDeviceCaps(dc, BITSPIXEL)};
         // The rate is the hardware's: in Hz, or 0 or 1 for its default.
         int hz = GetDeviceCaps(dc, VREFRESH);
         caps.push_back(hz <= 1 || (hz >= 40 && hz <= 200));
         caps.push_back(ReleaseDC(NULL, dc));
         return Join(caps);
       },
       "1024 768 16 1 1"},
      {"gdi-display-dc-and-unknown-escape",
       [] {
         HDC dc = CreateDCA("DISPLAY", NULL, NULL, NULL);
         DWORD in = 7, out = 0xEEEEEEEE;
         long known = ExtEscape(dc, 0x3000, 4, (LPCSTR)&in, 4, (LPSTR)&out);
         long other = ExtEscape(dc, 0x3001, 4, (LPCSTR)&in, 4, (LPSTR)&out);
         long width = GetDeviceCaps(dc, HORZRES);
         return Join({dc != NULL, known, other, width, DeleteDC(dc),
                      DeleteDC(dc)}) +
                " " + Hex(&out, 4);
       },
       "1 0 0 1024 1 0 eeeeeeee"},
      {"display-enum-past-last",
       [] {
         DEVMODEA mode = {};
         mode.dmSize = sizeof mode;
         long first = EnumDisplaySettingsA(NULL, 0, &mode);
         // Wine leaves DM_DISPLAYFREQUENCY out where the X server does not
         // know the rate.
         const DWORD wanted = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
         long fields = (mode.dmFields & wanted) == wanted;
         return Join({first, fields, EnumDisplaySettingsA(NULL, 5000, &mode)});
       },
       "1 1 0"},
      {"display-cds-test", [] { return ChangeToListed(0x2 /* CDS_TEST */); },
       "0 2"},
      {"display-cds-updateregistry",
       [] { return ChangeToListed(CDS_UPDATEREGISTRY); }, "0 0 363000",
       "Windows 98: a mode set with CDS_UPDATEREGISTRY leaves its rate in "
       "HKCC\\Display\\Settings \"RefreshRate\"; Wine keeps it elsewhere"},
      {"display-cds-reset",
       [] {
         DEVMODEA mode = Listed();
         return Join(
             {ChangeDisplaySettingsA(&mode, CDS_UPDATEREGISTRY | CDS_RESET)});
       },
       "0"},
      // Shell and devices.
      {"tray-add-twice-delete-twice",
       [] {
         HWND window = MakeWindow(0);
         NOTIFYICONDATAA nid = {};
         nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
         nid.hWnd = window;
         nid.uID = 1225;
         nid.uFlags = NIF_MESSAGE | NIF_TIP;
         nid.uCallbackMessage = 1225;
         strcpy(nid.szTip, "contract");
         std::vector<long> answers;
         for (DWORD op : {NIM_ADD, NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_DELETE,
                          NIM_MODIFY})
           answers.push_back(Shell_NotifyIconA(op, &nid));
         DestroyWindow(window);
         return Join(answers);
       },
       "1 0 1 1 0 0"},
      {"icon-load",
       [] {
         HINSTANCE self = WorldInstance();
         HICON icon =
             (HICON)LoadImageA(self, MAKEINTRESOURCEA(IDI_DRIVER_READY),
                               IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
         HANDLE none = LoadImageA(self, MAKEINTRESOURCEA(8111), IMAGE_ICON, 16,
                                  16, LR_DEFAULTCOLOR);
         return Join({icon != NULL, none != NULL, DestroyIcon(icon)});
       },
       "1 0 1"},
      {"device-missing",
       [] {
         HANDLE device = CreateFileA("\\\\.\\KqSWITCH.VXD", 0, 0, NULL, 0,
                                     FILE_FLAG_DELETE_ON_CLOSE, NULL);
         return device == INVALID_HANDLE_VALUE ? "invalid" : "opened";
       },
       "invalid"},
  };
}

} // namespace

int main(int argc, char **argv) {
  const char *mode = argc > 1 ? argv[1] : "";
  int failed = 0;
  for (const Case &c : Cases()) {
    if (!strcmp(mode, "--marks")) {
      if (c.follows)
        printf("%s: %s\n", c.name, c.follows);
      continue;
    }
    WorldReset();
    std::string line = c.run();
    printf("%s: %s\n", c.name, line.c_str());
    fflush(stdout);
    if (!strcmp(mode, "--check") && line != c.expected) {
      fprintf(stderr, "%s: expected %s\n", c.name, c.expected);
      ++failed;
    }
  }
  return failed ? 1 : 0;
}
