// Process entry and start-up: platform check, driver probes, the hidden
// main window and the message loop.
#include "app/app.h"
#include "driver/driver.h"
#include "menu/menu.h"
#include "resources/resource.h"

const char MainWindowName[] = "Norvex Velkor Resolution Icon Task";

HINSTANCE AppInstance;     // module instance for strings and icons
DWORD PlatformClass;       // PlatformUnsupported .. PlatformNT4
DWORD DriverReady;         // the display driver answered at start-up
DWORD SwitchDriverPresent; // switch-capable driver generation found
char DriverKeyName[256];   // Windows 9x display class subkey name
WORD PanelWidth;           // LCD panel width in pixels, 0 if unknown
DWORD PanelIsVga;          // 640-pixel panel
DWORD PanelIsSvga;         // 800 pixels, or a width not recognised
DWORD PanelIsXga;          // 1024 pixels
DWORD PanelIsSxga;         // 1200 or 1280 pixels
HWND MainWindow;           // the hidden main window

namespace {

// Service strings of the first Windows 95 release and of OSR2 (B, C).  The
// build number is not trusted: OEM releases reuse it.
const char *const FirstReleaseServiceStrings[] = {"", " A", "A"};
const char *const Osr2ServiceStrings[] = {" B", "B", " C", "C"};

BOOL ServiceStringIn(const char *csd, const char *const *list, int count) {
  for (int i = 0; i < count; ++i)
    if (lstrcmpiA(csd, list[i]) == 0)
      return TRUE;
  return FALSE;
}

void ShowUnsupportedSystem(void) {
  char caption[256];
  caption[0] = 0;
  LoadStringA(AppInstance, IDS_APP_TITLE, caption, 255);
  MessageBoxA(NULL,
              "Invalid Operating System or \nOperating System Build \n"
              "Cannot Continue To Load!",
              caption, MB_OK | MB_ICONERROR);
}

// Asks the display driver whether it answers, which generation it is and
// how wide the panel is.
void ProbeDisplayDriver(void) {
  WORD attached = 0;
  if (!GetAttachedDisplays(&attached)) {
    DriverReady = 0;
    return;
  }
  DWORD level = 0;
  if (GetDriverLevel(&level) && level == 3)
    SwitchDriverPresent = 1;
  DriverReady = 1;

  if (attached & DisplayLcd) {
    // The reply is taken as the driver left it, answered or not: a driver
    // that wrote nothing leaves the width 0.
    BYTE panel[6] = {0, 0, 0, 0, 0, 0};
    GetPanelSize(panel);
    PanelWidth = static_cast<WORD>(panel[0] | (panel[1] << 8));
  }
  SetPanelClass();
}

} // namespace

DWORD ClassifyPlatform(void) {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  GetVersionExA(&info); // on failure every field stays 0: unsupported

  const char *csd = info.szCSDVersion;
  if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
      info.dwMajorVersion == 4) {
    if (info.dwMinorVersion == 10)
      return PlatformWin9x;
    if (info.dwMinorVersion == 0) {
      if (ServiceStringIn(csd, FirstReleaseServiceStrings, 3))
        return PlatformWin95First;
      if (ServiceStringIn(csd, Osr2ServiceStrings, 4))
        return PlatformWin9x;
    }
    return PlatformUnsupported;
  }
  if (info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 4 &&
      info.dwMinorVersion == 0)
    return PlatformNT4;
  return PlatformUnsupported;
}

void SetPanelClass(void) {
  PanelIsVga = PanelIsSvga = PanelIsXga = PanelIsSxga = 0;
  switch (PanelWidth) {
  case 640:
    PanelIsVga = 1;
    break;
  case 1024:
    PanelIsXga = 1;
    break;
  case 1200:
  case 1280:
    PanelIsSxga = 1;
    break;
  default: // 800, and every width the driver did not give or we don't know
    PanelIsSvga = 1;
    break;
  }
}

ATOM RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSA wc;
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = MainWindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = instance;
  wc.hIcon = NULL;
  wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = NULL;
  wc.lpszClassName = MainWindowName;
  return RegisterClassA(&wc);
}

BOOL InitInstance(HINSTANCE instance) {
  AppInstance = instance;
  PlatformClass = ClassifyPlatform();
  if (PlatformClass == PlatformUnsupported) {
    ShowUnsupportedSystem();
    return FALSE;
  }
  if (PlatformClass == PlatformWin9x) {
    DriverKeyName[0] = 0;
    ProbeSwitchDriver();
  }
  ProbeDisplayDriver();

  // WM_CREATE builds the menu and adds the tray icon, whose image shows
  // whether the driver answered: everything above must be known by now.
  HWND window =
      CreateWindowExA(0, MainWindowName, MainWindowName, WS_OVERLAPPEDWINDOW, 0,
                      0, 0, 0, NULL, NULL, instance, NULL);
  if (window == NULL)
    return FALSE;
  MainWindow = window;
  ShowWindow(window, SW_HIDE);
  UpdateWindow(window);
  return TRUE;
}

namespace {

// Asks the copy that runs already, once its window exists, to put its icon
// back: the shells of Windows 95 and NT 4.0 without Internet Explorer 4.0's
// desktop tell no one when they restart, so a user who starts the program
// again most likely lost the icon, and the running copy is told as a newer
// shell would tell it.  A shell refuses an icon it already shows, so a copy
// whose icon is there changes nothing.  Returns whether a window was found.
BOOL AskRunningCopyForIcon(void) {
  HWND running = FindWindowA(MainWindowName, MainWindowName);
  if (running == NULL)
    return FALSE;
  UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  if (taskbarCreated != 0)
    PostMessageA(running, taskbarCreated, 0, 0);
  return TRUE;
}

// Start-up, the message loop and the end; returns the exit code.
int RunFirstCopy(HINSTANCE instance) {
  if (!RegisterMainWindowClass(instance))
    return 0;
  if (!InitInstance(instance))
    return 0;

  MSG msg;
  msg.wParam = 0;
  BOOL got;
  // GetMessageA returns -1 on error; looping on "nonzero" would spin on it.
  while ((got = GetMessageA(&msg, NULL, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // A quit posted from outside ends the loop with the window still there;
  // destroying it takes the icon out of the notification area instead of
  // leaving a dead one behind.
  if (IsWindow(MainWindow))
    DestroyWindow(MainWindow);
  // Only now is no menu tracked: the window may have gone inside the
  // menu's loop.
  DestroyRefreshMenu();
  return got == 0 ? static_cast<int>(msg.wParam) : 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // One copy is enough: a second one would only add a second icon that
  // drives the same hardware.  The window that tells a later copy of the
  // first exists only once the driver has been asked, and two copies
  // started together (the StartUp folder and a Run key, a double-click
  // repeated) would both miss it: the named mutex is taken before
  // anything else.  Where it cannot be had at all the window alone
  // decides.
  HANDLE oneCopy = CreateMutexA(NULL, FALSE, MainWindowName);
  BOOL taken = oneCopy != NULL && GetLastError() == ERROR_ALREADY_EXISTS;
  int result = 0;
  if (!AskRunningCopyForIcon() && !taken)
    result = RunFirstCopy(instance);
  if (oneCopy != NULL)
    CloseHandle(oneCopy);
  return result;
}
