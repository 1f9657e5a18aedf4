// Exports of app/: process entry, start-up and the tray window.  The
// start-up state itself is declared in platform/state.h.
#pragma once

#include "platform/state.h"

// The tray icon's callback message, which also serves as its identifier.
enum : UINT { TrayCallbackMessage = 1225 };

// The main window's timers: one holds a right click back for the
// double-click time, so that a right double-click can reach the window; the
// other tries again to add an icon the shell refused at creation.
enum : UINT_PTR { RightClickTimer = 1, TrayRetryTimer = 2 };

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
// the shell; returns the shell's answer, nonzero when it took the record.
BOOL SetTrayIcon(HWND window, DWORD operation);
// Handles TrayCallbackMessage: `wParam` the icon id, `lParam` the mouse
// message.  A right button-down starts RightClickTimer (or opens the menu at
// once when no timer can be had); a right double-click kills it and starts
// the Display control panel.  While one of the program's boxes or its menu
// is open, or a command is under way, a click only brings the program's
// open box, if any, to the front.
void OnTrayNotify(HWND window, WPARAM wParam, LPARAM lParam);
// Handles WM_TIMER of RightClickTimer: kills it and, when it was still
// running and no box or menu of the program's is open, opens the menu the
// right click asked for.
void OnRightClickTimer(HWND window);
// Handles WM_TIMER of TrayRetryTimer: adds the icon the shell refused at
// creation, and kills the timer once the shell takes it or a minute of
// tries has passed.
void OnTrayRetryTimer(HWND window);
// Opens the refresh-rate menu at the cursor, or names the missing driver;
// returns once the menu or the box is closed.
void OpenModeMenu(HWND window);
