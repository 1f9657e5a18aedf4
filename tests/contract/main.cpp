// The contract suite's runner: runs every area's cases (registry.cpp,
// strings.cpp, menus.cpp, windows.cpp, display.cpp, shell.cpp) in one of
// the modes kUsage names.
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "tests/contract/contract.h"

namespace {

const char kUsage[] =
    "usage: crtrate-contract [--check | --marks | --held]\n"
    "  (none)   run the cases: \"case: call = answer\", one answer a line\n"
    "  --check  also fail on an answer not the expected one, or a row of\n"
    "           sim/calls.def whose case does not call it (native only)\n"
    "  --marks  \"mark case: call = why\" per marked answer, then \"unshown\n"
    "           name: why\" for what the simulation follows and no case shows\n"
    "  --held   sim/calls.def: \"WHERE DLL!function[ by case][: why]\"\n";

// What the simulation follows that no case can show under Wine, each with
// why and its source.
const char *const kUnshown[] = {
    "tray-click-needs-nif-message: the shell sends a click on a tray icon "
    "only as the callback message of a record added or modified with "
    "NIF_MESSAGE: uCallbackMessage is valid only with that flag "
    "(NOTIFYICONDATA, Windows API reference); a click needs a user at a "
    "real desktop",
    "tray-menu-foreground: a popup menu whose owner is not the foreground "
    "window stays open when the user clicks elsewhere, and after "
    "TrackPopupMenu the next menu of the same owner closes at once until "
    "the owner gets a posted message (TrackPopupMenu, Windows API "
    "reference, Remarks; Knowledge Base Q135788); it needs a user's clicks",
    "loop-without-window: stricter on purpose: nothing ends a thread's "
    "message loop but a WM_QUIT (GetMessage, Windows API reference), so a "
    "program whose windows are gone and that posted no quit waits on unseen "
    "until log-off, which ends it without a word; the simulation reports "
    "that as a hang, so that no check passes it",
    "menu-loop-ends-on-quit: stricter on purpose: a WM_QUIT ends a tracked "
    "menu, which posts it again for the loop below, as modal loops should "
    "(Raymond Chen, \"Modality, part 3: The WM_QUIT message\", The Old New "
    "Thing, 2005); Wine's menu loop drops the quit and stays open, which "
    "leaves the program nothing to handle",
    "taskbar-created-ie4-shells: only a shell of Internet Explorer 4.0's "
    "desktop (Windows 98's own, or one installed on Windows 95 or NT 4.0) "
    "broadcasts \"TaskbarCreated\" when it starts; the original shell of "
    "Windows 95 and NT 4.0 sends nothing, so the icons it lost stay away "
    "(\"Taskbar Creation Notification\", Windows Shell documentation); "
    "Wine's explorer never sends it, and ending it takes the program's "
    "window along",
    "vxd-on-nt: Windows NT has no VxDs: \"\\\\.\\NAME.VXD\" opens nothing "
    "there (Windows 95 DDK, \"Dynamically Loadable VxDs\"); Wine has none "
    "either, on any version",
    "shell-execute-error-box: ShellExecuteA says in a box of its own, on "
    "the caller's thread, that it cannot find a program (ShellExecute, "
    "Windows API reference: hwnd is the parent \"used for displaying a UI "
    "or error messages\"); Wine's ShellExecuteA asks for none, passing "
    "SEE_MASK_FLAG_NO_UI (dlls/shell32/shlexec.c)",
    "cds-takes-sent-messages: ChangeDisplaySettingsA broadcasts "
    "WM_DISPLAYCHANGE and, while other programs' windows take it, the "
    "thread takes the messages sent to it (WM_DISPLAYCHANGE and "
    "SendMessage, Windows API reference); a message sent meanwhile needs "
    "another thread to send it during the call, as the shell's tray does "
    "(Wine's SendNotifyMessageW in programs/explorer/systray.c)",
};

// The rows of sim/calls.def.
struct Row {
  const char *dll, *function, *where, *held, *why;
};

const Row kCalls[] = {
#define CALL(dll, function, where, held, why)                                  \
  {#dll, #function, #where, held, why},
#include "sim/calls.def"
#undef CALL
};

enum Mode { kPrint, kCheck, kMarks };

Mode mode;                 // what the run is for
std::string running;       // the case that runs
std::set<std::string> met; // the calls it has checked
// The cases that called each function of the list.
std::map<std::string, std::set<std::string>> callers;
int failures; // --check's, each already printed

void Fail(const std::string &why) {
  fprintf(stderr, "FAIL %s\n", why.c_str());
  ++failures;
}

void Record(const std::string &first, const std::string &answer,
            const std::string &expected, const char *mark) {
  std::string call = first;
  for (int n = 2; !met.insert(call).second; ++n)
    call = first + " #" + std::to_string(n);
  if (mode == kMarks) {
    if (mark)
      printf("mark %s: %s = %s\n", running.c_str(), call.c_str(), mark);
    return;
  }
  printf("%s: %s = %s\n", running.c_str(), call.c_str(), answer.c_str());
  fflush(stdout);
  if (mode == kCheck && answer != expected)
    Fail(running + ": " + call + " = " + answer + ", expected " + expected);
}

// A row names the case that calls its function, or none and why none can;
// a row that is not EXE_SIM says why.
void CheckList() {
  for (const Row &row : kCalls) {
    const std::set<std::string> &by = callers[row.function];
    std::string name = std::string("sim/calls.def: ") + row.function;
    if (*row.held && !by.count(row.held))
      Fail(name + ": its case " + row.held + " does not call it");
    if (!*row.held && !by.empty())
      Fail(name + ": no case named, yet " + *by.begin() + " calls it");
    if ((!*row.held || strcmp(row.where, "EXE_SIM")) && !*row.why)
      Fail(name + ": " + row.where + (*row.held ? "" : " with no case") +
           ", and no why");
  }
}

} // namespace

long Check(const std::string &call, long answer, long expected,
           const char *mark) {
  Record(call, std::to_string(answer), std::to_string(expected), mark);
  return answer;
}

void Check(const std::string &call, const std::string &answer,
           const std::string &expected, const char *mark) {
  Record(call, answer, expected, mark);
}

void Run(const char *name, const std::function<void()> &body) {
  running = name;
  met.clear();
  WorldReset();
  body();
  for (const Row &row : kCalls)
    if (WorldCalled(row.function))
      callers[row.function].insert(name);
}

std::string Hex(const void *data, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    unsigned char octet = static_cast<const unsigned char *>(data)[i];
    out += "0123456789abcdef"[octet >> 4];
    out += "0123456789abcdef"[octet & 15];
  }
  return out;
}

int main(int argc, char **argv) {
  const char *arg = argc == 2 ? argv[1] : "";
  if (argc == 2 && !strcmp(arg, "--held")) {
    for (const Row &row : kCalls)
      printf("%s %s!%s%s%s%s%s\n", row.where, row.dll, row.function,
             *row.held ? " by " : "", row.held, *row.why ? ": " : "", row.why);
    return 0;
  }
  if (argc != 1 && strcmp(arg, "--check") && strcmp(arg, "--marks")) {
    fputs(kUsage, stderr);
    return 2;
  }
  mode = argc == 1 ? kPrint : arg[2] == 'c' ? kCheck : kMarks;
  for (void (*area)() : {RegistryCases, StringCases, MenuCases, WindowCases,
                         DisplayCases, ShellCases})
    area();
  if (mode == kMarks)
    for (const char *unshown : kUnshown)
      printf("unshown %s\n", unshown);
  if (mode == kCheck)
    CheckList();
  return failures ? 1 : 0;
}
