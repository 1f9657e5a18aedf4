// The hidden main window: its tray icon, the icon's mouse messages, the
// refresh-rate menu and the commands chosen from it.
#include "app/app.h"
#include "driver/driver.h"
#include "menu/menu.h"
#include "modes/modes.h"
#include "resources/resource.h"

namespace {

UINT TaskbarCreatedMessage; // Explorer's "TaskbarCreated", 0 if refused
// Work of ours under way that the user answers or waits for: a box, the
// menu, a command from it with its warning and the mode change, the start
// of the Display control panel.  The modal loops of boxes and menus, and
// ChangeDisplaySettingsA while it broadcasts WM_DISPLAYCHANGE, hand us
// messages meanwhile: the icon's clicks and our timers among them.
int Busy;
// Tries left to add an icon the shell refused at creation.
DWORD TrayAddTriesLeft;

// A shell that is not there yet (a program started from RunServices on
// Windows 95/98, or by an NT 4.0 logon script beside Explorer) refuses the
// icon; without an Internet Explorer 4.0 desktop nothing says when it has
// come, so the add is tried again every 2 s for a minute.
enum : UINT { TrayAddRetryMs = 2000 };
enum : DWORD { TrayAddRetries = 30 };

enum : int { TextSize = 255 };

void LoadText(UINT id, char *buffer, int size) {
  buffer[0] = 0;
  LoadStringA(AppInstance, id, buffer, size);
}

// Converts like the C library's atol: leading white space, one optional
// sign, then digits up to the first other character; no digits gives 0.
// A number too large for 32 bits stops at the largest one instead of
// wrapping round to something that might name a real rate.
DWORD ParseDecimal(const char *text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
    ++text;
  BOOL negative = *text == '-';
  if (*text == '-' || *text == '+')
    ++text;
  const DWORD largest = 0x7FFFFFFF;
  DWORD value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    DWORD digit = static_cast<DWORD>(*text - '0');
    value = value > (largest - digit) / 10 ? largest : value * 10 + digit;
  }
  return negative ? 0 - value : value;
}

// The legacy Windows 9x driver keeps no mode number of its own: the mode in
// force is what the display settings say.  "-1" is how the Display control
// panel stores "adapter default", which these drivers run at 60 Hz.
void ReadLegacyWin9xMode(WORD *code, DWORD *refresh) {
  DWORD stored = 0;
  if (ReadRegistryByte(HKEY_CURRENT_CONFIG, "Display\\Settings",
                       "CRTResolution", &stored))
    *code = static_cast<WORD>(stored);
  char text[256];
  if (ReadRegistryString(HKEY_CURRENT_CONFIG, "Display\\Settings",
                         "RefreshRate", text)) {
    if (text[0] == '-' && text[1] == '1' && text[2] == 0)
      *refresh = 60;
    else
      *refresh = ParseDecimal(text);
  }
}

DWORD ScreenRefreshRate(void) {
  HDC screen = GetDC(NULL);
  if (screen == NULL)
    return 0;
  int hz = GetDeviceCaps(screen, VREFRESH);
  ReleaseDC(NULL, screen);
  return static_cast<DWORD>(hz);
}

void FindModeInForce(const DEVMODEA *desktop, WORD *code, DWORD *refresh) {
  if (PlatformClass == PlatformWin9x || PlatformClass == PlatformNT4) {
    if (SwitchDriverPresent) {
      QueryCurrentCrtMode(code, refresh, desktop->dmBitsPerPel);
    } else if (PlatformClass == PlatformWin9x) {
      ReadLegacyWin9xMode(code, refresh);
    } else {
      GetModeNumber(code);
      *refresh = ScreenRefreshRate();
    }
  }
}

const char *MissingDriverFile(void) {
  if (PlatformClass == PlatformWin9x)
    return SwitchDriverPresent ? "KqSWITCH.VXD" : "Kq_M1.VXD";
  if (PlatformClass == PlatformNT4)
    return "KqMINI.SYS";
  return "Unknown OS";
}

// The class of dialog boxes, MessageBoxA's among them (the system classes
// of "About Window Classes" in the Windows API reference).
BOOL CALLBACK FindBox(HWND window, LPARAM found) {
  char name[16];
  if (GetClassNameA(window, name, sizeof name) == 0 ||
      lstrcmpiA(name, "#32770") != 0)
    return TRUE;
  *reinterpret_cast<HWND *>(found) = window;
  return FALSE;
}

// A box of ours that another window covers keeps waiting there, and the
// icon, which opens nothing while it waits, would look dead: a click on
// the icon brings the box back to the front.  The box has no owner, so it
// is found among the thread's windows.
void BringBoxToFront(void) {
  HWND box = NULL;
  EnumThreadWindows(GetCurrentThreadId(), FindBox,
                    reinterpret_cast<LPARAM>(&box));
  if (box != NULL)
    SetForegroundWindow(box);
}

// A box's or menu's loop that meets WM_QUIT ends there and posts the quit
// again for the loop below; a message box then answers as if its default
// button was pressed (IDOK under Wine: DIALOG_DoDialogBox keeps the
// dialog's idResult).  WM_CLOSE from outside ends up there too, as the
// window's destruction posts the quit.  Either way the program is being
// ended and must act on nothing more.
BOOL BeingEnded(void) {
  MSG quit;
  return PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_NOREMOVE);
}

void ShowMissingDriver(void) {
  char caption[TextSize + 1];
  char format[TextSize + 1];
  char text[1024]; // wsprintfA writes at most 1024 bytes
  LoadText(IDS_APP_TITLE, caption, TextSize);
  LoadText(IDS_DRIVER_MISSING, format, TextSize);
  if (wsprintfA(text, format, MissingDriverFile()) <= 0)
    text[0] = 0;
  MessageBoxA(NULL, text, caption, MB_OK);
}

LRESULT ConfirmAndApply(HWND window, WPARAM wParam, LPARAM lParam) {
  char caption[TextSize + 1];
  char text[TextSize + 1];
  LoadText(IDS_WARNING_CAPTION, caption, TextSize);
  LoadText(IDS_DAMAGE_WARNING, text, TextSize);
  if (MessageBoxA(NULL, text, caption, MB_ICONWARNING | MB_OKCANCEL) != IDOK ||
      BeingEnded())
    return 0;

  DWORD modeCode = 0;
  DWORD refreshHz = 0;
  if (!CommandToMode(static_cast<DWORD>(wParam), &modeCode, &refreshHz))
    return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
  if (ApplyRefreshChoice(static_cast<LONG>(modeCode),
                         static_cast<LONG>(refreshHz)))
    return DefWindowProcA(window, WM_COMMAND, wParam, lParam);

  char error[TextSize + 1];
  LoadText(IDS_ERROR, error, TextSize);
  MessageBoxA(NULL, error, error, MB_ICONERROR | MB_OK);
  return 0;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  // A command that comes while a warning waits for its answer, or while a
  // choice is being applied, is not the one the user is confirming.
  if (wParam < FirstCommand || wParam > LastCommand || Busy)
    return 0;
  ++Busy;
  LRESULT result = ConfirmAndApply(window, wParam, lParam);
  --Busy;
  return result;
}

void StopTrayRetry(HWND window) {
  TrayAddTriesLeft = 0;
  KillTimer(window, TrayRetryTimer);
}

} // namespace

BOOL SetTrayIcon(HWND window, DWORD operation) {
  NOTIFYICONDATAA nid = {};
  // The shell of Windows 95, 98 and NT 4.0 knows only the first, 88-byte
  // form of the record (on a 32-bit build); the NOTIFYICONDATA
  // documentation warns that a larger cbSize may not work with it.
  nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
  nid.hWnd = window;
  nid.uID = TrayCallbackMessage;
  if (operation == NIM_ADD)
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  else if (operation == NIM_MODIFY)
    nid.uFlags = NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = TrayCallbackMessage;
  UINT icon = DriverReady ? IDI_DRIVER_READY : IDI_DRIVER_MISSING;
  nid.hIcon =
      static_cast<HICON>(LoadImageA(AppInstance, MAKEINTRESOURCEA(icon),
                                    IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  // The first form's tip field is 64 bytes: at most 63 of text.
  LoadStringA(AppInstance, IDS_APP_TITLE, nid.szTip, 64);
  BOOL done = Shell_NotifyIconA(operation, &nid);
  // The shell keeps its own copy of the image.
  if (nid.hIcon != NULL)
    DestroyIcon(nid.hIcon);
  return done;
}

void OpenModeMenu(HWND window) {
  ++Busy;
  if (!DriverReady) {
    ShowMissingDriver();
  } else {
    WORD code = 0;
    DWORD refresh = 0;
    DEVMODEA desktop;
    if (DescribeDesktop(&desktop)) {
      RefreshDisplayState();
      FindModeInForce(&desktop, &code, &refresh);
      UpdateMenuAvailability(code, refresh, &desktop);
    } else {
      // The rules need the desktop's depth and width; without them the
      // menu opens with nothing to choose rather than a guess.
      UncheckAllEntries();
      SetAllEntriesState(MF_GRAYED);
    }

    // A tray menu only closes when the user clicks elsewhere if its owner
    // is the foreground window.
    SetForegroundWindow(window);
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    TrackPopupMenu(MenuHandle, TPM_RIGHTALIGN | TPM_LEFTBUTTON, cursor.x,
                   cursor.y, 0, window, NULL);
  }
  // Forces a task switch to the window so that the next click on the icon
  // opens the menu at once instead of only closing the last one.
  PostMessageA(window, WM_USER, 0, 0);
  --Busy;
}

void OnTrayNotify(HWND window, WPARAM wParam, LPARAM lParam) {
  if (wParam != TrayCallbackMessage)
    return;
  // While our box or menu is open the user is answering it, and while a
  // choice is applied the display is changing: a click on the icon would
  // stack a second box, or open the menu inside the warning and let an
  // older choice be applied after a newer one.  It only finds our box.
  if (Busy) {
    if (lParam == WM_LBUTTONDOWN || lParam == WM_LBUTTONDBLCLK ||
        lParam == WM_RBUTTONDOWN || lParam == WM_RBUTTONDBLCLK)
      BringBoxToFront();
    return;
  }
  switch (lParam) {
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    OpenModeMenu(window);
    break;
  case WM_RBUTTONDOWN:
    // The shell reports the first press of a double-click as a plain press.
    // A menu opened now would take the second press into its modal loop and
    // the double-click would never arrive, so the menu waits for the
    // double-click time to pass without one.
    if (!SetTimer(window, RightClickTimer, GetDoubleClickTime(), NULL))
      OpenModeMenu(window);
    break;
  case WM_RBUTTONDBLCLK:
    KillTimer(window, RightClickTimer);
    // The shell may show a box of its own on this thread when it cannot
    // start the program (ShellExecute in the Windows API reference: hwnd
    // is the parent of its error messages).
    ++Busy;
    ShellExecuteA(NULL, NULL, "RUNDLL32.EXE",
                  "shell32.dll,Control_RunDLL desk.cpl", NULL, SW_SHOWNORMAL);
    --Busy;
    break;
  default: // button-up messages and mouse moves
    break;
  }
}

void OnRightClickTimer(HWND window) {
  // KillTimer does not take back a WM_TIMER already in the queue, so one
  // may still arrive after a double-click killed the timer: only a timer
  // still running stands for a right click that waits for its menu.  A
  // menu opened by another click meanwhile has answered it.
  if (KillTimer(window, RightClickTimer) && !Busy)
    OpenModeMenu(window);
}

void OnTrayRetryTimer(HWND window) {
  // A WM_TIMER taken before the timer was killed may still come.
  if (TrayAddTriesLeft == 0)
    return;
  --TrayAddTriesLeft;
  if (SetTrayIcon(window, NIM_ADD) || TrayAddTriesLeft == 0)
    StopTrayRetry(window);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam) {
  switch (message) {
  case WM_CREATE:
    // Explorer broadcasts "TaskbarCreated" when it restarts with an empty
    // notification area; icons must then be added again.
    TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    BuildRefreshMenu(window);
    if (!SetTrayIcon(window, NIM_ADD)) {
      TrayAddTriesLeft = TrayAddRetries;
      if (!SetTimer(window, TrayRetryTimer, TrayAddRetryMs, NULL))
        TrayAddTriesLeft = 0;
    }
    return 0;
  case WM_DESTROY:
    // The menu outlives the window: WM_CLOSE may come while the menu is
    // tracked, and this runs inside its loop.  WinMain frees it.
    SetTrayIcon(window, NIM_DELETE);
    PostQuitMessage(0);
    return 0;
  case WM_COMMAND:
    return OnCommand(window, wParam, lParam);
  case TrayCallbackMessage:
    OnTrayNotify(window, wParam, lParam);
    return 0;
  case WM_TIMER:
    if (wParam == RightClickTimer)
      OnRightClickTimer(window);
    else if (wParam == TrayRetryTimer)
      OnTrayRetryTimer(window);
    else
      return DefWindowProcA(window, message, wParam, lParam);
    return 0;
  default:
    if (TaskbarCreatedMessage != 0 && message == TaskbarCreatedMessage) {
      if (SetTrayIcon(window, NIM_ADD))
        StopTrayRetry(window);
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
}
