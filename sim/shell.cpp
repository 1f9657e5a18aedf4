// SHELL32: the notification area's icons and ShellExecuteA.
#include <cstring>
#include <set>
#include <utility>

#include "sim/internal.h"

namespace {

// The largest tip a version-1 record carries, terminator included.
const size_t kTipSize = 64;

// Icons in the notification area now, by (window, id).
std::set<std::pair<HWND, UINT>> trayIcons;

const char *OperationName(DWORD message) {
  switch (message) {
  case NIM_ADD:
    return "add";
  case NIM_MODIFY:
    return "modify";
  case NIM_DELETE:
    return "delete";
  }
  return nullptr;
}

std::string Tip(const NOTIFYICONDATAA *data) {
  return std::string(data->szTip, strnlen(data->szTip, kTipSize));
}

bool Apply(DWORD message, const std::pair<HWND, UINT> &icon) {
  bool present = trayIcons.count(icon) != 0;
  if (message == NIM_ADD && !present)
    trayIcons.insert(icon);
  else if (message == NIM_DELETE && present)
    trayIcons.erase(icon);
  return message == NIM_ADD ? !present : present;
}

} // namespace

namespace sim {

void ResetShell() { trayIcons.clear(); }

} // namespace sim

int SimTrayIconCount() { return static_cast<int>(trayIcons.size()); }

// The record is read whatever its uFlags say: the line shows what the
// shell was handed.
BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
  SIM_ENTER(FALSE);
  const char *operation = OperationName(message);
  if (!data || !operation ||
      (data->cbSize != NOTIFYICONDATAA_V1_SIZE &&
       data->cbSize != sizeof(NOTIFYICONDATAA)))
    return FALSE;
  sim::Emit(sim::Format("tray %s icon=%d tip=", operation,
                        sim::IconIdOf(data->hIcon)) +
            sim::QuoteAnsi(Tip(data)));
  return Apply(message, {data->hWnd, data->uID}) ? TRUE : FALSE;
}

HINSTANCE WINAPI ShellExecuteA(HWND /*window*/, LPCSTR /*verb*/, LPCSTR file,
                               LPCSTR parameters, LPCSTR /*directory*/,
                               int show) {
  SIM_ENTER(nullptr);
  sim::Emit("shell " + sim::QuoteAnsi(sim::Str(file)) + " " +
            sim::QuoteAnsi(sim::Str(parameters)) + sim::Format(" %d", show));
  return reinterpret_cast<HINSTANCE>(42);
}
