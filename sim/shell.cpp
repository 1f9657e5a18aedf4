// SHELL32: the notification area's icons, the user's clicks on them, and
// ShellExecuteA.
#include <cstring>
#include <map>
#include <utility>

#include "sim/internal.h"

namespace {

// The largest tip a version-1 record carries, terminator included.
const size_t kTipSize = 64;

// An icon in the notification area.  A click reaches the program only as
// the callback message named by a record with NIF_MESSAGE: an icon added
// without one shows, but the shell has nothing to send when it is clicked.
struct TrayIcon {
  bool takesClicks; // NIF_MESSAGE given on add or modify
  UINT callback;    // uCallbackMessage of that record
};

// Icons in the notification area now, by (window, id).
std::map<std::pair<HWND, UINT>, TrayIcon> trayIcons;
// The "shell ie4" statement: Internet Explorer 4.0's desktop was installed
// on a Windows 95 or NT 4.0 whose own shell predates it.
bool ie4Installed;
// The "shell sends" statement: the shell sends its callbacks instead of
// posting them, as Wine's does (SendNotifyMessageW in notify_owner,
// programs/explorer/systray.c): they reach the program whenever its thread
// takes sent messages, not only when it reads its queue.
bool sendsCallbacks;
// The "shell no-rundll32" statement: a damaged Windows has lost
// RUNDLL32.EXE.
bool noRundll32;
// The "shell refuses <n>" statement: the notification area is not there yet
// (a program started from RunServices, or by a logon script beside
// Explorer), and that many adds are refused before it is.
long long refusals;

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

bool Apply(DWORD message, const NOTIFYICONDATAA &data) {
  std::pair<HWND, UINT> key(data.hWnd, data.uID);
  auto found = trayIcons.find(key);
  bool present = found != trayIcons.end();
  if (message == NIM_DELETE && present)
    trayIcons.erase(found);
  if (message == NIM_ADD ? present : !present)
    return false;
  if (message == NIM_ADD)
    found = trayIcons.insert({key, {false, 0}}).first;
  if (message != NIM_DELETE && (data.uFlags & NIF_MESSAGE))
    found->second = {true, data.uCallbackMessage};
  return true;
}

} // namespace

namespace sim {

void ResetShell() {
  trayIcons.clear();
  ie4Installed = false;
  sendsCallbacks = false;
  noRundll32 = false;
  refusals = 0;
}

bool SetShell(const Words &w) {
  const std::pair<const char *, bool *> kFlags[] = {
      {"ie4", &ie4Installed},
      {"sends", &sendsCallbacks},
      {"no-rundll32", &noRundll32}};
  if (w[0].text != "shell")
    return false;
  if (w[1].text == "refuses") {
    refusals = ScenarioNumber(w[2]);
    return true;
  }
  for (const auto &flag : kFlags)
    if (w[1].text == flag.first)
      return *flag.second = true;
  return false;
}

bool ShellSendsCallbacks() { return sendsCallbacks; }

} // namespace sim

// A restarted Explorer starts with an empty notification area.  Shells
// from Internet Explorer 4.0's desktop on then broadcast the registered
// "TaskbarCreated" message to every top-level window, so that programs can
// add their icons again; the original shell of Windows 95 and NT 4.0 sends
// nothing, and their icons stay away ("Taskbar Creation Notification" in
// the Windows Shell documentation).
void SimRestartShell() {
  trayIcons.clear();
  bool broadcast = ie4Installed || sim::OsShellIsIe4();
  sim::Emit(broadcast ? "shell restarts: TaskbarCreated sent"
                      : "shell restarts: nothing sent");
  if (broadcast)
    sim::BroadcastRegistered("TaskbarCreated");
}

int SimTrayIconCount() { return static_cast<int>(trayIcons.size()); }

bool SimClickTrayIcon(LPARAM mouseMessage) {
  for (const auto &icon : trayIcons)
    if (icon.second.takesClicks)
      return sendsCallbacks
                 ? sim::SendFromOtherThread(icon.first.first,
                                            icon.second.callback,
                                            icon.first.second, mouseMessage)
                 : sim::PostInternal(icon.first.first, icon.second.callback,
                                     icon.first.second, mouseMessage);
  return false;
}

// The Shell32.dll of Windows 95, 98 and NT 4.0 knows only the first,
// 88-byte form of the record, and the NOTIFYICONDATA documentation warns
// that a later, larger one may not work with it; stricter on purpose, any
// other size is refused here.  The line shows the icon and tip fields
// whatever uFlags says: what the shell was handed.
BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
  SIM_ENTER(FALSE);
  const char *operation = OperationName(message);
  if (!data || !operation || data->cbSize != NOTIFYICONDATAA_V1_SIZE)
    return FALSE;
  sim::Emit(sim::Format("tray %s icon=%d tip=", operation,
                        sim::IconIdOf(data->hIcon)) +
            sim::QuoteAnsi(Tip(data)));
  if (message == NIM_ADD && refusals > 0) {
    --refusals;
    sim::Emit("refused: no notification area yet");
    return FALSE;
  }
  return Apply(message, *data) ? TRUE : FALSE;
}

// Of the programs a user starts, the simulated Windows has RUNDLL32.EXE
// (and so the Display control panel through it), unless it lost it; any
// other file is not found.  ShellExecuteA answers above 32 when the
// program starts, and SE_ERR_FNF (2) for a file that does not exist, after
// saying so in a box of its own on the caller's thread (ShellExecute in the
// Windows API reference: hwnd is the parent "used for displaying a UI or
// error messages"; Wine's ShellExecuteA asks for no box, passing
// SEE_MASK_FLAG_NO_UI in dlls/shell32/shlexec.c).
HINSTANCE WINAPI ShellExecuteA(HWND /*window*/, LPCSTR /*verb*/, LPCSTR file,
                               LPCSTR parameters, LPCSTR /*directory*/,
                               int show) {
  SIM_ENTER(nullptr);
  std::string name = sim::Str(file);
  sim::Emit("shell " + sim::QuoteAnsi(name) + " " +
            sim::QuoteAnsi(sim::Str(parameters)) + sim::Format(" %d", show));
  if (sim::SameName(name, "RUNDLL32.EXE") && !noRundll32)
    return reinterpret_cast<HINSTANCE>(42);
  sim::Emit("box shell " + sim::QuoteAnsi(name) + ": cannot find the file");
  HWND box = sim::OpenBoxWindow(name);
  long button = IDOK;
  sim::RunModalLoop(
      sim::Modal::Box, [] { return true; }, &button);
  sim::CloseBoxWindow(box);
  sim::Emit("box -> 1");
  return reinterpret_cast<HINSTANCE>(2);
}
