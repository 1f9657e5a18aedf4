// Contract cases of the shell and the kernel: named mutexes, the version
// record, ShellExecuteA, tray icons and the tray record's sizes, icons, a
// missing device.
#include <cstring>

#include "resources/resource.h"
#include "tests/contract/contract.h"

namespace {

const char kFirstFormOnly[] =
    "stricter on purpose: the NOTIFYICONDATA page warns that a record of a "
    "later, larger form may not work with the Shell32.dll of Windows 95, 98 "
    "and NT 4.0, which knows only the first, 88-byte form; the simulation "
    "refuses the others, so that a program that does not send the first "
    "form fails its checks; Wine's shell takes every form";

// ShellExecuteA's answer for `file`.
long Execute(const char *file) {
  return long(
      INT_PTR(ShellExecuteA(NULL, NULL, file, "", NULL, SW_SHOWNORMAL)));
}

} // namespace

void ShellCases() {
  // A second mutex of a name already taken is the same one, and says so
  // through GetLastError; once every handle is closed the name is free.
  // GetLastError is read before a check prints.
  Run("kernel-mutex-second-handle-and-last-error", [] {
    const char name[] = "crtrate contract mutex";
    HANDLE first = CreateMutexA(NULL, FALSE, name);
    long error = long(GetLastError());
    Check("CreateMutexA(name)", first != NULL, 1);
    Check("GetLastError after CreateMutexA", error, 0);
    HANDLE second = CreateMutexA(NULL, FALSE, name);
    error = long(GetLastError());
    Check("CreateMutexA(name) again", second != NULL, 1);
    Check("GetLastError after CreateMutexA again", error, 183);
    Check("CreateMutexA(name) again: another handle", second != first, 1);
    CHECK(CloseHandle(second), 1);
    CHECK(CloseHandle(first), 1);
    HANDLE third = CreateMutexA(NULL, FALSE, name);
    error = long(GetLastError());
    Check("GetLastError after CreateMutexA once closed", error, 0);
    CHECK(CloseHandle(third), 1);
    CHECK(CloseHandle(third), 0);
  });
  // GetVersionExA with the record's size, with a size it does not know and
  // with none.
  Run("version-record-sizes", [] {
    for (DWORD size : {148, 100, 0}) {
      OSVERSIONINFOA info = {};
      info.dwOSVersionInfoSize = size;
      std::string call = "GetVersionExA(size " + std::to_string(size) + ")";
      Check(call, GetVersionExA(&info), size == 148);
      Check(call + ": dwPlatformId set", info.dwPlatformId != 0, size == 148);
    }
  });
  // ShellExecuteA answers above 32 when the program starts, and
  // ERROR_FILE_NOT_FOUND (2) for a program that does not exist.
  Run("shell-execute-started-and-missing", [] {
    Check("ShellExecuteA(RUNDLL32.EXE) > 32", Execute("RUNDLL32.EXE") > 32, 1);
    Check("ShellExecuteA(CRTRATE-NONE.EXE)", Execute("CRTRATE-NONE.EXE"), 2);
  });
  Run("shell-tray-icons-device", [] {
    HWND window = MakeWindow(0);
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = window;
    nid.uID = nid.uCallbackMessage = 1225;
    nid.uFlags = NIF_MESSAGE | NIF_TIP;
    strcpy(nid.szTip, "contract");
    CHECK(Shell_NotifyIconA(NIM_ADD, &nid), 1);
    CHECK(Shell_NotifyIconA(NIM_ADD, &nid), 0);
    CHECK(Shell_NotifyIconA(NIM_MODIFY, &nid), 1);
    CHECK(Shell_NotifyIconA(NIM_DELETE, &nid), 1);
    CHECK(Shell_NotifyIconA(NIM_DELETE, &nid), 0);
    CHECK(Shell_NotifyIconA(NIM_MODIFY, &nid), 0);
    DestroyWindow(window);
    HINSTANCE self = WorldInstance();
    HANDLE icon = LoadImageA(self, MAKEINTRESOURCEA(IDI_DRIVER_READY),
                             IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
    Check("LoadImageA(IDI_DRIVER_READY)", icon != NULL, 1);
    Check("LoadImageA(8111)",
          LoadImageA(self, MAKEINTRESOURCEA(8111), IMAGE_ICON, 16, 16,
                     LR_DEFAULTCOLOR) != NULL,
          0);
    CHECK(DestroyIcon(HICON(icon)), 1);
    CHECK(CreateFileA("\\\\.\\KqSWITCH.VXD", 0, 0, NULL, 0,
                      FILE_FLAG_DELETE_ON_CLOSE, NULL) == INVALID_HANDLE_VALUE,
          1);
  });
  // The first, 88-byte form of the tray record and then the full one, each
  // added and deleted.
  Run("shell-tray-record-sizes", [] {
    HWND window = MakeWindow(0);
    NOTIFYICONDATAA nid = {};
    nid.hWnd = window;
    nid.uID = 1225;
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    Check("Shell_NotifyIconA(NIM_ADD), 88 bytes",
          Shell_NotifyIconA(NIM_ADD, &nid), 1);
    Check("Shell_NotifyIconA(NIM_DELETE), 88 bytes",
          Shell_NotifyIconA(NIM_DELETE, &nid), 1);
    nid.cbSize = sizeof nid;
    Check("Shell_NotifyIconA(NIM_ADD), the full record",
          Shell_NotifyIconA(NIM_ADD, &nid), 0, kFirstFormOnly);
    Check("Shell_NotifyIconA(NIM_DELETE), the full record",
          Shell_NotifyIconA(NIM_DELETE, &nid), 0, kFirstFormOnly);
    DestroyWindow(window);
  });
}
