// crtrate-sim FILE: runs the program on the simulated notebook.  FILE holds
// the notebook's statements, then the actions of a session (clicks, menu
// choices, box answers, direct calls), which are delivered one at a time
// whenever the program waits for a message with an empty queue and no
// timer due (the user's pause between two actions outlasts the
// double-click time, except within "click right" directly followed by
// "click rightdouble", which is one double-click).  The transcript goes to
// standard output.
//
// crtrate-sim --counts FILE: the same, then "calls <Function> <n>" on
// standard error for every simulated function the run called, so that a
// fault sweep knows how many calls of each there are to fail.
//
// The run itself is RunScenarioText (tools/crtrate_sim.h), which the fuzzer
// and the long-run test call in-process; they compile this file with
// CRTRATE_SIM_NO_MAIN.
#include "tools/crtrate_sim.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "driver/driver.h"
#include "menu/menu.h"
#include "modes/modes.h"
#include "sim/sim.h"

namespace {

// One action line, split into words.
struct Action {
  std::vector<std::string> words;
};

// One action keyword: its argument counts.
struct ActionKind {
  const char *name;
  size_t minArgs;
  size_t maxArgs;
};

const ActionKind kActions[] = {
    {"click", 1, 1},           {"callback", 2, 2}, {"command", 1, 1},
    {"destroy", 0, 0},         {"close", 0, 0},    {"quit", 0, 0},
    {"taskbar-created", 0, 0}, {"choose", 1, 1},   {"answer", 1, 1},
    {"apply", 2, 2},           {"menu", 2, 5},
};

// The mouse messages of the "click" kinds, as the shell reports them.
const std::pair<const char *, LPARAM> kClicks[] = {
    {"left", WM_LBUTTONDOWN},     {"right", WM_RBUTTONDOWN},
    {"double", WM_LBUTTONDBLCLK}, {"rightdouble", WM_RBUTTONDBLCLK},
    {"leftup", WM_LBUTTONUP},     {"rightup", WM_RBUTTONUP},
};

// The actions still to deliver, in order.
std::vector<Action> actions;
// Index of the next action to deliver.
size_t nextAction = 0;
// The idle hook has run, so start-up is over and the state was printed.
bool started = false;

std::vector<std::string> SplitWords(const std::string &line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string word;
  while (in >> word && word[0] != '#')
    words.push_back(word);
  return words;
}

bool ParseLong(const std::string &text, long long *value) {
  const char *p = text.c_str();
  bool negative = *p == '-';
  if (negative)
    ++p;
  int base = (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) ? 16 : 10;
  if (base == 16)
    p += 2;
  if (*p == '\0' || *p == '-' || *p == '+')
    return false;
  char *end = nullptr;
  unsigned long long magnitude = strtoull(p, &end, base);
  if (*end != '\0' || magnitude > 0xFFFFFFFFull)
    return false;
  *value = negative ? -static_cast<long long>(magnitude)
                    : static_cast<long long>(magnitude);
  return true;
}

long long Number(const std::string &text) {
  long long value = 0;
  ParseLong(text, &value);
  return value;
}

const ActionKind *FindAction(const std::string &name) {
  for (const ActionKind &kind : kActions)
    if (name == kind.name)
      return &kind;
  return nullptr;
}

bool ClickMessage(const std::string &kind, LPARAM *message) {
  for (const auto &click : kClicks)
    if (kind == click.first) {
      *message = click.second;
      return true;
    }
  return false;
}

// Checks an action's arguments; returns an error message or "".
std::string CheckAction(const std::vector<std::string> &w) {
  const ActionKind *kind = FindAction(w[0]);
  size_t args = w.size() - 1;
  if (args < kind->minArgs || args > kind->maxArgs ||
      (w[0] == "menu" && args != 2 && args != 5))
    return "wrong number of arguments";
  LPARAM message;
  if (w[0] == "click")
    return ClickMessage(w[1], &message) ? "" : "unknown click";
  if (w[0] == "answer")
    return w[1] == "ok" || w[1] == "cancel" ? "" : "expected ok or cancel";
  long long value;
  for (size_t i = 1; i < w.size(); ++i)
    if (!ParseLong(w[i], &value))
      return "bad number";
  return "";
}

int Fail(const std::string &file, int line, const std::string &message,
         const std::string &text) {
  fprintf(stderr, "%s:%d: %s: %s\n", file.c_str(), line, message.c_str(),
          text.c_str());
  return 2;
}

// Reads a scenario into statement lines and actions; returns 0 or the exit
// code.  `file` names it in messages.
int Load(const std::string &file, std::istream &in,
         std::vector<std::string> *statements) {
  SimReset();
  bool inActions = false;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    std::vector<std::string> words = SplitWords(line);
    if (words.empty())
      continue;
    if (words.size() == 1 && words[0] == "---") {
      inActions = true;
      continue;
    }
    if (FindAction(words[0])) {
      std::string why = CheckAction(words);
      if (!why.empty())
        return Fail(file, number, why, line);
      inActions = true;
      actions.push_back({words});
      continue;
    }
    if (inActions)
      return Fail(file, number, "statement after actions", line);
    std::string why;
    if (!SimApplyStatement(line, &why))
      return Fail(file, number, why, line);
    statements->push_back(line);
  }
  return 0;
}

const char *PanelClass() {
  if (PanelIsVga)
    return "vga";
  if (PanelIsSvga)
    return "svga";
  if (PanelIsXga)
    return "xga";
  if (PanelIsSxga)
    return "sxga";
  return "none";
}

void PrintState() {
  SimEmit("platform " + std::to_string(PlatformClass));
  std::string key(DriverKeyName, strnlen(DriverKeyName, sizeof DriverKeyName));
  SimEmit("state driver=" + std::to_string(DriverReady) +
          " switch=" + std::to_string(SwitchDriverPresent) +
          " key=" + SimQuote(SimAnsiToUtf8(key)) +
          " panel=" + std::to_string(PanelWidth) + " class=" + PanelClass());
}

void EmitLines(const std::string &lines) {
  size_t start = 0;
  while (start < lines.size()) {
    size_t end = lines.find('\n', start);
    SimEmit(lines.substr(start, end - start));
    start = end + 1;
  }
}

void ShowMenu(const std::vector<std::string> &w) {
  if (w.size() == 6) {
    SimDesktop now = SimCurrentDesktop();
    SimApplyStatement("desktop " + w[3] + " " + w[4] + " " + w[5] + " " +
                          std::to_string(now.hz),
                      nullptr);
  }
  RefreshDisplayState();
  DEVMODEA desktop = {};
  DescribeDesktop(&desktop);
  UpdateMenuAvailability(static_cast<WORD>(Number(w[1])),
                         static_cast<DWORD>(Number(w[2])), &desktop);
  EmitLines(SimMenuLines(MenuHandle));
}

void Apply(const std::vector<std::string> &w) {
  LONG modeCode = static_cast<LONG>(Number(w[1]));
  LONG refreshHz = static_cast<LONG>(Number(w[2]));
  BOOL result = ApplyRefreshChoice(modeCode, refreshHz);
  SimEmit("apply " + std::to_string(modeCode) + " " +
          std::to_string(refreshHz) + " -> " + std::to_string(result));
}

// Delivers one action; false for those that only prepare the next menu or
// box, after which the following action is delivered at once.
bool Deliver(const std::vector<std::string> &w) {
  const std::string &what = w[0];
  LPARAM click = 0;
  if (what == "click" && ClickMessage(w[1], &click)) {
    SimPostMessage(MainWindow, TrayCallbackMessage, TrayCallbackMessage, click);
    // A right click directly followed by a right double-click is one
    // double-click: its second press comes within the double-click time,
    // before the first press's timer can run out.
    if (w[1] == "right" && nextAction < actions.size() &&
        actions[nextAction].words[0] == "click" &&
        actions[nextAction].words[1] == "rightdouble") {
      ++nextAction;
      SimPostMessage(MainWindow, TrayCallbackMessage, TrayCallbackMessage,
                     WM_RBUTTONDBLCLK);
    }
  } else if (what == "callback")
    SimPostMessage(MainWindow, TrayCallbackMessage,
                   static_cast<WPARAM>(Number(w[1])),
                   static_cast<LPARAM>(Number(w[2])));
  else if (what == "command")
    SimPostMessage(MainWindow, WM_COMMAND, static_cast<WPARAM>(Number(w[1])),
                   0);
  else if (what == "destroy")
    DestroyWindow(MainWindow);
  else if (what == "close")
    SimPostMessage(MainWindow, WM_CLOSE, 0, 0);
  else if (what == "quit")
    SimPostMessage(nullptr, WM_QUIT, 0, 0);
  else if (what == "taskbar-created")
    SimBroadcastTaskbarCreated();
  else if (what == "apply")
    Apply(w);
  else if (what == "menu")
    ShowMenu(w);
  else if (what == "choose")
    SimQueueMenuChoice(static_cast<UINT>(Number(w[1])));
  else if (what == "answer")
    SimQueueAnswer(w[1] == "ok" ? IDOK : IDCANCEL);
  return what != "choose" && what != "answer";
}

bool Idle() {
  if (!started) {
    started = true;
    PrintState();
  }
  while (nextAction < actions.size())
    if (Deliver(actions[nextAction++].words))
      return true;
  return false;
}

// The program's globals as the loader leaves them in a new process: all
// zero.  Matters only when one process plays several scenarios.
void ResetProgram() {
  AppInstance = NULL;
  PlatformClass = PlatformUnsupported;
  DriverReady = SwitchDriverPresent = 0;
  DriverKeyName[0] = 0;
  PanelWidth = 0;
  PanelIsVga = PanelIsSvga = PanelIsXga = PanelIsSxga = 0;
  MainWindow = NULL;
  CrtActive = CrtIdle = LcdActive = 0;
  ShowAllModesOn = ShowAllModesWanted = 0;
  MenuHandle = NULL;
}

} // namespace

int RunScenarioText(const std::string &name, const std::string &text,
                    FILE *echo) {
  actions.clear();
  nextAction = 0;
  started = false;
  std::istringstream in(text);
  std::vector<std::string> statements;
  int status = Load(name, in, &statements);
  if (status != 0)
    return status;
  SimReset();
  ResetProgram();
  for (const std::string &line : statements)
    SimApplyStatement(line, nullptr);
  SimSetIdleHook(Idle);
  SimSetEcho(echo);
  char commandLine[] = "";
  int result = WinMain(SimInstance(), nullptr, commandLine, SW_SHOWNORMAL);
  if (!started)
    SimEmit("platform " + std::to_string(PlatformClass));
  SimEmit("exit " + std::to_string(result));
  SimEmit(SimOpenLine());
  SimSetEcho(nullptr);
  SimSetIdleHook(nullptr);
  return 0;
}

#ifndef CRTRATE_SIM_NO_MAIN
int main(int argc, char **argv) {
  bool counts = argc == 3 && strcmp(argv[1], "--counts") == 0;
  if (argc != 2 && !counts) {
    fprintf(stderr, "usage: crtrate-sim [--counts] FILE\n");
    return 2;
  }
  std::string file = argv[argc - 1];
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    fprintf(stderr, "%s: cannot read\n", file.c_str());
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  int status = RunScenarioText(file, text.str(), stdout);
  if (status == 0 && counts)
    for (const auto &call : SimCallCounts())
      fprintf(stderr, "calls %s %d\n", call.first.c_str(), call.second);
  return status;
}
#endif
