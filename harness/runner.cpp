// The scenario runner: reads a scenario, sets up the simulated notebook
// from its statements and runs WinMain, delivering the actions (clicks,
// menu choices, box answers, direct calls) one at a time whenever the
// program waits for a message with an empty queue and no timer due, in its
// own loop or in an open box's or menu's (the user's pause between two
// actions outlasts the double-click time, except after "click right"
// directly followed by another click, which comes within it).
#include "harness/runner.h"

#include "harness/program_image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/app.h"
#include "driver/driver.h"
#include "menu/menu.h"
#include "modes/modes.h"
#include "sim/sim.h"

namespace {

// The mouse messages of the "click" kinds, as the shell reports them.
const std::pair<const char *, LPARAM> kClicks[] = {
    {"left", WM_LBUTTONDOWN},     {"right", WM_RBUTTONDOWN},
    {"double", WM_LBUTTONDBLCLK}, {"rightdouble", WM_RBUTTONDBLCLK},
    {"leftup", WM_LBUTTONUP},     {"rightup", WM_RBUTTONUP},
};

// The words of the actions still to deliver, in order.
std::vector<std::vector<std::string>> actions;
// Index of the next action to deliver.
size_t nextAction = 0;
// The idle hook has run, so start-up is over and the state was printed.
bool started = false;

long long Number(const std::string &text) {
  long long value = 0;
  ParseScenarioNumber({text, false}, &value);
  return value;
}

bool ClickMessage(const std::string &kind, LPARAM *message) {
  for (const auto &click : kClicks)
    if (kind == click.first) {
      *message = click.second;
      return true;
    }
  return false;
}

// Checks the words of the "click" and "answer" actions (the reader checked
// the rest); returns an error message or "".
std::string CheckAction(const std::vector<std::string> &w) {
  LPARAM message;
  if (w[0] == "click")
    return ClickMessage(w[1], &message) ? "" : "unknown click";
  if (w[0] == "answer")
    return w[1] == "ok" || w[1] == "cancel" ? "" : "expected ok or cancel";
  return "";
}

// Reads and checks a scenario; returns 0 or the exit code 2 (with a message
// naming `file` and the line).  The notebook is left with the statements
// applied.
int Load(const std::string &file, const std::string &text, Scenario *scenario) {
  SimReset();
  ScenarioLine bad;
  std::string why;
  bool read =
      SimApplyScenario(text, &why) && ReadScenario(text, scenario, &bad, &why);
  for (const ScenarioLine &line : scenario->actions) {
    std::vector<std::string> words;
    for (const ScenarioWord &word : line.words)
      words.push_back(word.text);
    std::string wrong = CheckAction(words);
    if (read && !wrong.empty()) {
      why = std::to_string(line.number) + ": " + wrong + ": " + line.text;
      read = false;
    }
    actions.push_back(words);
  }
  if (!read)
    fprintf(stderr, "%s:%s\n", file.c_str(), why.c_str());
  return read ? 0 : 2;
}

const char *PanelClass() {
  return PanelIsVga    ? "vga"
         : PanelIsSvga ? "svga"
         : PanelIsXga  ? "xga"
         : PanelIsSxga ? "sxga"
                       : "none";
}

void PrintState() {
  SimEmit("platform " + std::to_string(PlatformClass));
  std::string key(DriverKeyName, strnlen(DriverKeyName, sizeof DriverKeyName));
  SimEmit("state driver=" + std::to_string(DriverReady) +
          " switch=" + std::to_string(SwitchDriverPresent) +
          " key=" + QuoteScenarioText(SimAnsiToUtf8(key)) +
          " panel=" + std::to_string(PanelWidth) + " class=" + PanelClass());
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
  SimEmitMenuLines(MenuHandle);
}

void Apply(const std::vector<std::string> &w) {
  LONG modeCode = static_cast<LONG>(Number(w[1]));
  LONG refreshHz = static_cast<LONG>(Number(w[2]));
  BOOL result = ApplyRefreshChoice(modeCode, refreshHz);
  SimEmit("apply " + std::to_string(modeCode) + " " +
          std::to_string(refreshHz) + " -> " + std::to_string(result));
}

// The user starts the program file again while it runs: a second process
// of the same module.  It shares the first one's globals and window
// classes here, which a copy that leaves before touching any (as it must)
// never notices.  One that does not find the first copy's window gets no
// further than registering its class, which this process already has,
// and ends with 0, where a real second process would run beside the
// first.
void StartAgain() {
  char commandLine[] = "";
  int result = WinMain(SimInstance(), nullptr, commandLine, SW_SHOWNORMAL);
  SimEmit("start again -> exit " + std::to_string(result));
}

// The answer actions: a menu choice (or none) and a box's button.
void Answer(const std::vector<std::string> &w) {
  if (w[0] == "answer") {
    if (!SimAnswerBox(w[1] == "ok" ? IDOK : IDCANCEL))
      SimEmit("answer " + w[1] + ": no box is open");
  } else if (!SimChooseFromMenu(
                 w[0] == "dismiss" ? 0 : static_cast<UINT>(Number(w[1])))) {
    SimEmit(w[0] + (w[0] == "dismiss" ? "" : " " + w[1]) + ": no menu is open");
  }
}

// Delivers one action: what the user does while the program waits, in its
// own loop or in the loop of its open box or menu.
void Deliver(const std::vector<std::string> &w) {
  const std::string &what = w[0];
  LPARAM click = 0;
  if (what == "click" && ClickMessage(w[1], &click)) {
    if (!SimClickTrayIcon(click))
      SimEmit("click " + w[1] + ": no icon takes clicks");
    // A right click directly followed by another click shares its pause:
    // the second press comes within the double-click time, before the
    // first press's timer can run out (a right double-click, or a left
    // press that opens the menu while the right click's timer still runs).
    if (w[1] == "right" && nextAction < actions.size() &&
        actions[nextAction][0] == "click")
      Deliver(actions[nextAction++]);
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
    SimPostMessage(nullptr, WM_QUIT,
                   w.size() > 1 ? static_cast<WPARAM>(Number(w[1])) : 0, 0);
  else if (what == "shell-restart")
    SimRestartShell();
  else if (what == "focus-other")
    SimBringOtherProgramToFront();
  else if (what == "start")
    StartAgain();
  else if (what == "apply")
    Apply(w);
  else if (what == "menu")
    ShowMenu(w);
  else
    Answer(w);
}

bool Idle() {
  // The state is printed once start-up is over: at the first wait with no
  // box open (a box at start-up has no state to show yet).
  if (!started && SimOpenModalCount() == 0) {
    started = true;
    PrintState();
  }
  if (nextAction == actions.size())
    return false;
  // A call that waits and takes only sent messages: the user's next click
  // comes now, anything else waits for the program's next wait.
  if (SimOnlySentMessagesTaken() && actions[nextAction][0] != "click")
    return true;
  Deliver(actions[nextAction++]);
  return true;
}

void JsonText(const std::string &text, FILE *out) {
  fputc('"', out);
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t n = Utf8Length(text, i);
    if (c == '"' || c == '\\')
      fprintf(out, "\\%c", c);
    else if (c < 0x20 || c == 0x7F)
      fprintf(out, "\\u%04x", c);
    else if (n == 0)
      fprintf(out, "\\u%04x", 0xDC00 + c);
    else
      fwrite(text.data() + i, 1, n, out);
    i += n > 1 ? n - 1 : 0;
  }
  fputc('"', out);
}

} // namespace

void ResetProgram() {
  LoadProgramImage();
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

int RunScenarioText(const std::string &name, const std::string &text,
                    FILE *echo) {
  actions.clear();
  nextAction = 0;
  started = false;
  Scenario scenario;
  int status = Load(name, text, &scenario);
  if (status != 0)
    return status;
  SimReset();
  ResetProgram();
  for (const ScenarioLine &line : scenario.statements)
    SimApplyStatement(line.text, nullptr);
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

int ParseScenarioText(const std::string &name, const std::string &text,
                      FILE *out) {
  actions.clear();
  Scenario scenario;
  int status = Load(name, text, &scenario);
  if (status != 0)
    return status;
  const char *separator = "{\"statements\": [";
  for (const auto *part : {&scenario.statements, &scenario.actions}) {
    fputs(separator, out);
    for (size_t i = 0; i < part->size(); ++i) {
      fputs(i ? ",\n  " : "\n  ", out);
      WriteWordsJson((*part)[i].words, out);
    }
    separator = "],\n \"actions\": [";
  }
  fputs("]}\n", out);
  return 0;
}

void WriteWordsJson(const ScenarioWords &words, FILE *out) {
  fputc('[', out);
  for (size_t i = 0; i < words.size(); ++i) {
    fputs(i ? ", [" : "[", out);
    JsonText(words[i].text, out);
    fputs(words[i].quoted ? ", true]" : ", false]", out);
  }
  fputc(']', out);
}
