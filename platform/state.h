// What start-up found out about the machine, and the program's own handles:
// process-wide state written before the message loop and only read
// afterwards.  Defined in app/startup.cpp; every subsystem reads it here.
#pragma once

#include "platform/win32.h"

enum : DWORD {
  PlatformUnsupported = 0,
  PlatformWin95First = 1, // the first Windows 95 release
  PlatformWin9x = 2,      // Windows 95 OSR2 and Windows 98
  PlatformNT4 = 3,
};

// Class name and title of the hidden main window; a second copy finds the
// first by it.
extern const char MainWindowName[];

extern HINSTANCE AppInstance;     // module instance for resources
extern DWORD PlatformClass;       // result of ClassifyPlatform
extern DWORD DriverReady;         // display driver answered at start-up
extern DWORD SwitchDriverPresent; // switch-capable driver generation
extern char DriverKeyName[256];   // Windows 9x display class subkey, or ""
extern WORD PanelWidth;           // LCD panel width, 0 when not known
extern DWORD PanelIsVga;          // 640-pixel panel
extern DWORD PanelIsSvga;         // 800 pixels or any unrecognised width
extern DWORD PanelIsXga;          // 1024 pixels
extern DWORD PanelIsSxga;         // 1200 or 1280 pixels
extern HWND MainWindow;           // the hidden main window
