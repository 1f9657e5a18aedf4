// The Win32 API as the simulated notebook offers it: the types, constants,
// structures and ANSI functions the product uses, spelled as <windows.h> and
// <shellapi.h> spell them.  Structure layouts follow the real headers where
// the program depends on a size (DEVMODEA's 148-byte prefix, the 148-byte
// OSVERSIONINFOA, NOTIFYICONDATAA_V1_SIZE) so the same code is right on both
// sides of the seam.  Only platform/win32.h includes this file.  Each
// function declared here is a row of sim/calls.def that sim/ offers (or the
// program's WinMain), as tests/sim_test.cpp checks.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define WINAPIV
#define CALLBACK

#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef short SHORT;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef WORD ATOM;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef void *LPVOID;
typedef DWORD *LPDWORD;
typedef BYTE *LPBYTE;
typedef void *HANDLE;
typedef DWORD ACCESS_MASK;
typedef ACCESS_MASK REGSAM;

#define DECLARE_HANDLE(name)                                                   \
  struct name##__ {                                                            \
    int unused;                                                                \
  };                                                                           \
  typedef struct name##__ *name
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HKEY);
DECLARE_HANDLE(HICON);
DECLARE_HANDLE(HBRUSH);
typedef HICON HCURSOR;
typedef HKEY *PHKEY;

typedef LRESULT(CALLBACK *WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef BOOL(CALLBACK *WNDENUMPROC)(HWND, LPARAM);
typedef void(CALLBACK *TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

struct POINT {
  LONG x, y;
};
typedef POINT *LPPOINT;

struct RECT {
  LONG left, top, right, bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
typedef MSG *LPMSG;

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra, cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName, lpszClassName;
};

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformId;
  CHAR szCSDVersion[128];
};
typedef OSVERSIONINFOA *LPOSVERSIONINFOA;

// The display members of DEVMODEA, at their <wingdi.h> offsets.  The first
// 148 bytes (up to dmReserved2) are the Windows 95 / NT 4.0 form.
struct DEVMODEA {
  BYTE dmDeviceName[32];
  WORD dmSpecVersion, dmDriverVersion, dmSize, dmDriverExtra;
  DWORD dmFields;
  SHORT dmPrinterFields[8]; // union with dmPosition etc. in <wingdi.h>
  SHORT dmColor, dmDuplex, dmYResolution, dmTTOption, dmCollate;
  BYTE dmFormName[32];
  WORD dmLogPixels;
  DWORD dmBitsPerPel, dmPelsWidth, dmPelsHeight, dmDisplayFlags;
  DWORD dmDisplayFrequency, dmICMMethod, dmICMIntent, dmMediaType;
  DWORD dmDitherType, dmReserved1, dmReserved2;
  DWORD dmPanningWidth, dmPanningHeight;
};
static_assert(offsetof(DEVMODEA, dmBitsPerPel) == 104, "DEVMODEA layout");
static_assert(offsetof(DEVMODEA, dmDisplayFrequency) == 120, "DEVMODEA");
static_assert(offsetof(DEVMODEA, dmPanningWidth) == 148, "DEVMODEA layout");

struct NOTIFYICONDATAA {
  DWORD cbSize;
  HWND hWnd;
  UINT uID, uFlags, uCallbackMessage;
  HICON hIcon;
  CHAR szTip[128];
  DWORD dwState, dwStateMask;
  CHAR szInfo[256];
  UINT uVersion;
  CHAR szInfoTitle[64];
  DWORD dwInfoFlags;
};
typedef NOTIFYICONDATAA *PNOTIFYICONDATAA;
#define NOTIFYICONDATAA_V1_SIZE (offsetof(NOTIFYICONDATAA, szTip) + 64)

struct OVERLAPPED;
struct SECURITY_ATTRIBUTES;
typedef OVERLAPPED *LPOVERLAPPED;
typedef SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;

#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define LOWORD(l) ((WORD)(((ULONG_PTR)(l)) & 0xffff))

// Window messages.
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_CLOSE 0x0010
#define WM_DISPLAYCHANGE 0x007E
#define WM_QUIT 0x0012
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_INITMENUPOPUP 0x0117
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_USER 0x0400

// Window classes, styles and shows.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define COLOR_WINDOW 5
#define WS_OVERLAPPEDWINDOW 0x00CF0000L
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define IDC_ARROW MAKEINTRESOURCEA(32512)

// Message boxes.
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONERROR 0x00000010L
#define MB_ICONWARNING 0x00000030L
#define IDOK 1
#define IDCANCEL 2

// Menus.
#define MF_STRING 0x00000000L
#define MF_SEPARATOR 0x00000800L
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L
#define MF_ENABLED 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_UNCHECKED 0x00000000L
#define MF_CHECKED 0x00000008L
#define TPM_LEFTBUTTON 0x0000L
#define TPM_RIGHTALIGN 0x0008L

// Notification area.
#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002
#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004

// Images.
#define IMAGE_ICON 1
#define LR_DEFAULTCOLOR 0x00000000

// GDI.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define VREFRESH 116

// Versions.
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

// Display settings.
#define DM_BITSPERPEL 0x00040000L
#define DM_PELSWIDTH 0x00080000L
#define DM_PELSHEIGHT 0x00100000L
#define DM_DISPLAYFREQUENCY 0x00400000L
#define CDS_UPDATEREGISTRY 0x00000001
#define CDS_RESET 0x40000000
#define DISP_CHANGE_SUCCESSFUL 0
#define DISP_CHANGE_FAILED (-1)
#define DISP_CHANGE_BADMODE (-2)

// Registry.
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)((LONG)0x80000005))
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define REG_SZ 1
#define REG_BINARY 3
#define REG_DWORD 4

// Error codes.
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_MORE_DATA 234L

// Files and devices.
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000

// KERNEL32
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);
HINSTANCE WINAPI GetModuleHandleA(LPCSTR name);
LPSTR WINAPI GetCommandLineA(void);
HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share,
                          LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flags, HANDLE templateFile);
BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize,
                            LPVOID out, DWORD outSize, LPDWORD returned,
                            LPOVERLAPPED overlapped);
BOOL WINAPI CloseHandle(HANDLE handle);
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);
int WINAPI lstrlenA(LPCSTR s);
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner,
                           LPCSTR name);
DWORD WINAPI GetLastError(void);
DWORD WINAPI GetCurrentThreadId(void);

// USER32
ATOM WINAPI RegisterClassA(const WNDCLASSA *wc);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title,
                            DWORD style, int x, int y, int width, int height,
                            HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID param);
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI IsWindow(HWND window);
BOOL WINAPI ShowWindow(HWND window, int show);
BOOL WINAPI UpdateWindow(HWND window);
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR title);
BOOL WINAPI EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam);
int WINAPI GetClassNameA(HWND window, LPSTR name, int size);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam,
                              LPARAM lParam);
BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT first, UINT last);
BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last,
                         UINT remove);
BOOL WINAPI TranslateMessage(const MSG *msg);
LRESULT WINAPI DispatchMessageA(const MSG *msg);
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
UINT WINAPI RegisterWindowMessageA(LPCSTR name);
BOOL WINAPI SetForegroundWindow(HWND window);
BOOL WINAPI GetCursorPos(LPPOINT point);
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL WINAPI KillTimer(HWND window, UINT_PTR id);
UINT WINAPI GetDoubleClickTime(void);
HMENU WINAPI CreatePopupMenu(void);
BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
BOOL WINAPI DestroyMenu(HMENU menu);
BOOL WINAPI SetMenu(HWND window, HMENU menu);
BOOL WINAPI EnableMenuItem(HMENU menu, UINT item, UINT flags);
DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT flags);
UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags);
BOOL WINAPI EndMenu(void);
BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved,
                           HWND owner, const RECT *rect);
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
HANDLE WINAPI LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx,
                         int cy, UINT flags);
BOOL WINAPI DestroyIcon(HICON icon);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...);
BOOL WINAPI EnumDisplaySettingsA(LPCSTR device, DWORD index, DEVMODEA *mode);
LONG WINAPI ChangeDisplaySettingsA(DEVMODEA *mode, DWORD flags);
HDC WINAPI GetDC(HWND window);
int WINAPI ReleaseDC(HWND window, HDC dc);

// GDI32
HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR output,
                     const DEVMODEA *init);
BOOL WINAPI DeleteDC(HDC dc);
int WINAPI ExtEscape(HDC dc, int escape, int inSize, LPCSTR in, int outSize,
                     LPSTR out);
int WINAPI GetDeviceCaps(HDC dc, int index);

// ADVAPI32
LONG WINAPI RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options,
                          REGSAM access, PHKEY result);
LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved,
                             LPDWORD type, LPBYTE data, LPDWORD size);
LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                           const BYTE *data, DWORD size);
LONG WINAPI RegCloseKey(HKEY key);

// SHELL32
BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data);
HINSTANCE WINAPI ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file,
                               LPCSTR parameters, LPCSTR directory, int show);

// The program's entry, called by the scenario runner as the loader would.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine,
                   int show);
