// crtrate-e2e.exe: the end-to-end harness's hands and eyes inside the Wine
// prefix.  Runs as a console program next to crtrate.exe and prints UTF-8
// on standard output, one fact per line: its kind, then names each followed
// by its value, texts quoted as a scenario quotes them, so the harness reads
// every answer with the scenario reader (crtrate-sim --words).  The x86_64
// build does all of it; the i686 build asks 32-bit Wine what its display
// driver answers (cds), the one question whose answer depends on the Wine
// that runs the program.
//
//   idle                     waits until ended from outside: keeps Wine's
//                            server and shell up between the commands of a
//                            test, so each does not start them afresh
//   version                  what GetVersionExA reports
//   desktop                  the screen as GetDeviceCaps reports it
//   cds W H BPP HZ FLAGS...  ChangeDisplaySettingsA with the program's own
//                            148-byte DEVMODEA and the four display fields,
//                            once for each group of five; prints each
//                            result (several in one start: under qemu a
//                            start of the i686 build takes long)
//   windows                  every top-level window, with its child controls
//                            (a message box's text is its static control)
//   tray                     the icons in Wine's notification area window,
//                            each with the tip its tooltip shows
//   close CLASS              WM_CLOSE to the top-level window of CLASS, as
//                            a window manager would send it
//   quit CLASS               WM_QUIT to it, as a session ending from outside
//   regget BITS ROOT PATH NAME...
//                            each value's type, size and bytes as a program
//                            of BITS (32 or 64) reads them, in its view of
//                            the registry (ROOT: HKLM, HKCC or HKCU)
//   sync CLASS               waits until the window of CLASS takes a message
//   untray CLASS ID          deletes the tray icon ID of the window of CLASS
//   broadcast NAME           posts the registered message NAME to every
//                            top-level window, as Explorer announces
//                            "TaskbarCreated" when it starts
//   foreground               the foreground window's class and title
//   cover                    shows a window over the middle of the screen,
//                            as another program's, and brings it to the
//                            front; runs until it is closed
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/scenario.h"

namespace {

void Out(const std::string &line) {
  std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(),
            static_cast<DWORD>(text.size()), &written, NULL);
}

// One field of a line: its name and its value, quoted when it is a text.
std::string Field(const char *name, const std::string &text) {
  return std::string(" ") + name + " " + QuoteScenarioText(text);
}
std::string Field(const char *name, long long number) {
  return std::string(" ") + name + " " + std::to_string(number);
}

std::string Utf8(const wchar_t *text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
  if (n <= 1)
    return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, NULL, NULL);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string ClassOf(HWND window) {
  wchar_t name[256] = {0};
  GetClassNameW(window, name, 256);
  return Utf8(name);
}

std::string TextOf(HWND window) {
  // WM_GETTEXT rather than GetWindowTextW: the latter does not ask windows
  // of other processes for a control's text.
  wchar_t text[4096] = {0};
  SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, NULL);
  return Utf8(text);
}

// A window handle as a field.
std::string Handle(const char *name, const void *handle) {
  char text[32];
  snprintf(
      text, sizeof text, " %s 0x%llx", name,
      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
  return text;
}

// A top-level window with its process and title, then its children (`child`
// 1) with their control ids and texts.
BOOL CALLBACK PrintWindow(HWND window, LPARAM child) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  Out((child ? "  child" + Handle("hwnd", window) +
                   Field("id", GetDlgCtrlID(window))
             : "window" + Handle("hwnd", window) + Field("pid", pid)) +
      Field("class", ClassOf(window)) +
      Field(child ? "text" : "title", TextOf(window)) +
      Field("visible", IsWindowVisible(window) ? 1 : 0));
  if (!child)
    EnumChildWindows(window, PrintWindow, 1);
  return TRUE;
}

// Wine shows the notification area that no X11 tray docks in a window of
// its own, one child window per icon: "__winex11_tray_icon" (Wine 8's X11
// driver) or "__wine_tray_icon" (later explorers).  Visible ones count.
int trayIcons;
std::vector<HWND> tooltips; // the shell's tooltip windows, for TipOf

BOOL CALLBACK FindTooltip(HWND window, LPARAM) {
  if (ClassOf(window) == TOOLTIPS_CLASSA)
    tooltips.push_back(window);
  return TRUE;
}

// The tool of `tooltip` as the shell holds it: its window and its text.
// The TOOLINFOW and the text buffer must be in the shell's own memory for
// TTM_ENUMTOOLSW to fill them.
bool ReadTool(HWND tooltip, HWND *window, std::string *text) {
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(tooltip, &pid))
    return false;
  HANDLE shell = OpenProcess(
      PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (shell == NULL)
    return false;
  const size_t chars = 256;
  char *remote = static_cast<char *>(
      VirtualAllocEx(shell, NULL, sizeof(TTTOOLINFOW) + chars * 2, MEM_COMMIT,
                     PAGE_READWRITE));
  bool ok = false;
  if (remote != NULL) {
    TTTOOLINFOW info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.lpszText = reinterpret_cast<wchar_t *>(remote + sizeof info);
    wchar_t tip[chars] = {};
    SIZE_T done = 0;
    ok = WriteProcessMemory(shell, remote, &info, sizeof info, &done) &&
         WriteProcessMemory(shell, remote + sizeof info, tip, sizeof tip,
                            &done) &&
         SendMessageW(tooltip, TTM_ENUMTOOLSW, 0,
                      reinterpret_cast<LPARAM>(remote)) &&
         ReadProcessMemory(shell, remote, &info, sizeof info, &done) &&
         ReadProcessMemory(shell, remote + sizeof info, tip, sizeof tip, &done);
    if (ok) {
      tip[chars - 1] = 0;
      *window = info.hwnd;
      *text = Utf8(tip);
    }
    VirtualFreeEx(shell, remote, 0, MEM_RELEASE);
  }
  CloseHandle(shell);
  return ok;
}

// Wine's shell gives each icon window a tooltip control of its own.
std::string TipOf(HWND icon) {
  tooltips.clear();
  EnumWindows(FindTooltip, 0);
  for (HWND tooltip : tooltips) {
    HWND window = NULL;
    std::string text;
    if (ReadTool(tooltip, &window, &text) && window == icon)
      return text;
  }
  return "(no tooltip)";
}

BOOL CALLBACK CountIcon(HWND child, LPARAM) {
  std::string name = ClassOf(child);
  if ((name == "__winex11_tray_icon" || name == "__wine_tray_icon") &&
      IsWindowVisible(child)) {
    ++trayIcons;
    Out("icon" + Handle("hwnd", child) + Handle("parent", GetParent(child)) +
        Field("tip", TipOf(child)));
  }
  return TRUE;
}

BOOL CALLBACK CountIcons(HWND window, LPARAM) {
  EnumChildWindows(window, CountIcon, 0);
  return TRUE;
}

int Tray() {
  trayIcons = 0;
  EnumWindows(CountIcons, 0);
  Out("tray" + Field("icons", trayIcons));
  return 0;
}

// Prints "WHAT ok" or "WHAT fail", then `more`; the exit status to match.
int Said(const char *what, bool ok, const std::string &more = "") {
  Out(std::string(what) + (ok ? " ok" : " fail") + more);
  return ok ? 0 : 1;
}

int Post(const char *className, UINT message) {
  HWND window = FindWindowA(className, NULL);
  if (window == NULL) {
    Out("post none");
    return 1;
  }
  return Said("post", PostMessageA(window, message, 0, 0),
              Handle("hwnd", window));
}

unsigned long Number(const char *text) { return strtoul(text, NULL, 0); }

HKEY RootKey(const std::string &name) {
  return name == "HKLM"   ? HKEY_LOCAL_MACHINE
         : name == "HKCC" ? HKEY_CURRENT_CONFIG
         : name == "HKCU" ? HKEY_CURRENT_USER
                          : NULL;
}

// One value exactly as RegQueryValueExA returns it to a program: type, size
// and bytes, so a text stored without its terminating NUL shows as such.
// `view` is KEY_WOW64_32KEY or KEY_WOW64_64KEY: a 32-bit program finds
// HKLM\SOFTWARE under Wow6432Node of the 64-bit registry, and these flags
// open the view of the given bitness whatever the helper's own ("Registry
// Redirector" and "Accessing an Alternate Registry View",
// learn.microsoft.com/windows/win32/winprog64).  The key is opened with
// RegOpenKeyExW: while Wine reports Windows 9x, its RegOpenKeyExA replaces
// the access mask, flags and all, with MAXIMUM_ALLOWED, as Windows 95
// ignores the mask (RegOpenKeyExA in Wine's dlls/kernelbase/registry.c).
void PrintValue(REGSAM view, const std::string &root, const std::string &path,
                const std::string &name) {
  std::string where =
      "value" + Field("root", root) + Field("path", path) + Field("name", name);
  HKEY base = RootKey(root);
  HKEY key = NULL;
  wchar_t widePath[1024];
  if (base == NULL ||
      !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, 1024) ||
      RegOpenKeyExW(base, widePath, 0, KEY_QUERY_VALUE | view, &key) !=
          ERROR_SUCCESS) {
    Out(where + " status nokey");
    return;
  }
  BYTE data[4096];
  DWORD size = sizeof data;
  DWORD type = 0;
  LONG status = RegQueryValueExA(key, name.c_str(), NULL, &type, data, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    Out(where + " status missing");
    return;
  }
  std::string hex;
  for (DWORD i = 0; i < size; ++i) {
    hex += "0123456789abcdef"[data[i] >> 4];
    hex += "0123456789abcdef"[data[i] & 15];
  }
  Out(where + Field("type", type) + Field("size", size) + Field("hex", hex));
}

// Returns once the window's thread has taken a sent message: the program
// is back in a message loop (its own or a box's), done with what it was
// doing.
int Sync(const char *className) {
  HWND window = FindWindowA(className, NULL);
  DWORD_PTR answer = 0;
  return Said("sync", window != NULL &&
                          SendMessageTimeoutA(window, WM_NULL, 0, 0,
                                              SMTO_NORMAL, 20000, &answer));
}

// The class of the window `cover` shows.
const char kCoverClass[] = "CrtrateE2ECover";

LRESULT CALLBACK CoverProc(HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam) {
  if (message == WM_DESTROY)
    PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

int Cover() {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = CoverProc;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kCoverClass;
  if (!RegisterClassA(&wc))
    return Said("cover", false);
  int width = GetSystemMetrics(SM_CXSCREEN),
      height = GetSystemMetrics(SM_CYSCREEN);
  HWND window =
      CreateWindowExA(0, kCoverClass, "another program", WS_POPUP | WS_BORDER,
                      width / 8, height / 8, width * 3 / 4, height * 3 / 4,
                      NULL, NULL, wc.hInstance, NULL);
  if (window == NULL)
    return Said("cover", false);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  Said("cover", true, Handle("hwnd", window));
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0)
    DispatchMessageA(&msg);
  return 0;
}

int Usage() {
  Out("usage: crtrate-e2e idle|version|desktop|windows|tray|"
      "cds W H BPP HZ FLAGS...|close CLASS|quit CLASS|"
      "regget 32|64 ROOT PATH NAME [ROOT PATH NAME]...|sync CLASS|"
      "untray CLASS ID|broadcast NAME|foreground|cover");
  return 2;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2)
    return Usage();
  std::string what = argv[1];
  if (what == "version" && argc == 2) {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    Out("version" + Field("platform", info.dwPlatformId) +
        Field("major", info.dwMajorVersion) +
        Field("minor", info.dwMinorVersion) +
        Field("build", info.dwBuildNumber) + Field("csd", info.szCSDVersion) +
        Field("acp", GetACP()));
    return 0;
  }
  if (what == "desktop" && argc == 2) {
    HDC screen = GetDC(NULL);
    Out("desktop" + Field("width", GetDeviceCaps(screen, HORZRES)) +
        Field("height", GetDeviceCaps(screen, VERTRES)) +
        Field("bits", GetDeviceCaps(screen, BITSPIXEL)) +
        Field("rate", GetDeviceCaps(screen, VREFRESH)));
    ReleaseDC(NULL, screen);
    return 0;
  }
  if (what == "cds" && argc > 2 && (argc - 2) % 5 == 0) {
    for (int i = 2; i < argc; i += 5) {
      DEVMODEA mode;
      memset(&mode, 0, sizeof mode);
      mode.dmSize = 148; // the Windows 95 / NT 4.0 size the program passes
      mode.dmFields =
          DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
      mode.dmPelsWidth = Number(argv[i]);
      mode.dmPelsHeight = Number(argv[i + 1]);
      mode.dmBitsPerPel = Number(argv[i + 2]);
      mode.dmDisplayFrequency = Number(argv[i + 3]);
      LONG result = ChangeDisplaySettingsA(&mode, Number(argv[i + 4]));
      Out("cds" + Field("result", result));
    }
    return 0;
  }
  if (what == "windows" && argc == 2) {
    EnumWindows(PrintWindow, 0);
    return 0;
  }
  if (what == "tray" && argc == 2)
    return Tray();
  if (what == "close" && argc == 3)
    return Post(argv[2], WM_CLOSE);
  if (what == "quit" && argc == 3)
    return Post(argv[2], WM_QUIT);
  if (what == "idle" && argc == 2) {
    Sleep(INFINITE);
    return 0;
  }
  if (what == "regget" && argc >= 6 && (argc - 3) % 3 == 0 &&
      (!strcmp(argv[2], "32") || !strcmp(argv[2], "64"))) {
    REGSAM view = !strcmp(argv[2], "32") ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    for (int i = 3; i + 2 < argc; i += 3)
      PrintValue(view, argv[i], argv[i + 1], argv[i + 2]);
    return 0;
  }
  if (what == "sync" && argc == 3)
    return Sync(argv[2]);
  if (what == "untray" && argc == 4) {
    // What a restarted shell's empty notification area amounts to for one
    // program: its icon is gone without the program being told.
    HWND window = FindWindowA(argv[2], NULL);
    NOTIFYICONDATAA data;
    memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = static_cast<UINT>(Number(argv[3]));
    return Said("untray",
                window != NULL && Shell_NotifyIconA(NIM_DELETE, &data));
  }
  if (what == "foreground" && argc == 2) {
    HWND window = GetForegroundWindow();
    Out("foreground" + Handle("hwnd", window) +
        Field("class", window ? ClassOf(window) : "") +
        Field("title", window ? TextOf(window) : ""));
    return 0;
  }
  if (what == "cover" && argc == 2)
    return Cover();
  if (what == "broadcast" && argc == 3) {
    UINT message = RegisterWindowMessageA(argv[2]);
    return Said("broadcast",
                message != 0 && PostMessageA(HWND_BROADCAST, message, 0, 0),
                Field("message", message));
  }
  return Usage();
}
