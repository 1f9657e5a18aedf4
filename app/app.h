// Exports of app/: process entry, start-up and the tray window.  The
// start-up state itself is declared in platform/state.h.
#pragma once

#include "platform/state.h"

// The tray icon's callback message, which also serves as its identifier.
enum : UINT { TrayCallbackMessage = 1225 };

// Exports from startup.cpp.

// Registers the main window class; returns its atom, 0 on failure.
ATOM RegisterMainWindowClass(HINSTANCE instance);
// Classifies the platform, probes the drivers, records the panel class and
// creates the hidden window.  Returns 1, or 0 (after the unsupported-system
// box, or when the window cannot be created).
BOOL InitInstance(HINSTANCE instance);
// Returns the PlatformClass value of the running system.
DWORD ClassifyPlatform(void);
// Sets exactly one panel class flag from PanelWidth.
void SetPanelClass(void);

// Exports from tray.cpp.

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam);
// Fills a fresh tray record and passes `operation` (NIM_ADD, NIM_DELETE) to
// the shell; the shell's answer is not examined.
void SetTrayIcon(HWND window, DWORD operation);
// Handles TrayCallbackMessage: `wParam` the icon id, `lParam` the mouse
// message.
void OnTrayNotify(HWND window, WPARAM wParam, LPARAM lParam);
// Opens the refresh-rate menu at the cursor, or names the missing driver.
void OpenModeMenu(HWND window);
