// The scenario runner: reads a scenario, sets up the simulated notebook
// from its statements and runs WinMain, delivering the actions (clicks,
// menu choices, box answers, direct calls) one at a time whenever the
// program waits for a message with an empty queue and no timer due, in its
// own loop or in an open box's or menu's (the user's pause between two
// actions outlasts the double-click time, except after "click right"
// directly followed by another click, which comes within it).
#include "harness/runner.h"

#include "harness/program_image.h"

#include <algorithm>
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

// The mouse message of each click word, in the order of the language's
// click words (ScenarioWordSet('c')): left, right, double, rightdouble,
// leftup, rightup.
const LPARAM kClickMessages[] = {WM_LBUTTONDOWN,   WM_RBUTTONDOWN,
                                 WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK,
                                 WM_LBUTTONUP,     WM_RBUTTONUP};

// The actions still to deliver, in order.
std::vector<ScenarioLine> actions;
// Index of the next action to deliver.
size_t nextAction = 0;
// The idle hook has run, so start-up is over and the state was printed.
bool started = false;

// Reads and checks a scenario; returns 0 or the exit code 2 (with a message
// naming `file` and the line).  The notebook is left with the statements
// applied.
int Load(const std::string &file, const std::string &text, Scenario *scenario) {
  SimReset();
  ScenarioLine bad;
  std::string why;
  bool read =
      SimApplyScenario(text, &why) && ReadScenario(text, scenario, &bad, &why);
  if (!read) {
    fprintf(stderr, "%s:%s\n", file.c_str(), why.c_str());
    return 2;
  }
  actions = scenario->actions;
  return 0;
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

void Apply(const ScenarioWords &w) {
  LONG modeCode = static_cast<LONG>(ScenarioNumber(w[1]));
  LONG refreshHz = static_cast<LONG>(ScenarioNumber(w[2]));
  BOOL result = ApplyRefreshChoice(modeCode, refreshHz);
  SimEmit("apply -> " + std::to_string(result));
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

// The entry of the open menu that reads as `resolution` and `rate`, or 0.
UINT EntryCommand(const std::string &resolution, const std::string &rate) {
  for (const SimMenuItem &item : SimMenuItems(MenuHandle)) {
    MenuListingEntry entry = MenuEntryOf(
        {item.text, (item.state & MF_SEPARATOR) != 0, false, false});
    if (!(item.state & MF_SEPARATOR) && entry.resolution == resolution &&
        entry.rate == rate)
      return item.id;
  }
  return 0;
}

// The action as the transcript shows it: its words after "> ".
std::string ActionLine(const ScenarioWords &w) {
  std::string line = ">";
  for (const ScenarioWord &word : w)
    line += " " + (word.quoted ? QuoteScenarioText(word.text) : word.text);
  return line;
}

// Delivers one action: what the user does while the program waits, in its
// own loop or in the loop of its open box or menu.
void Deliver(const ScenarioLine &line) {
  const ScenarioWords &w = line.words;
  SimEmit(ActionLine(w));
  switch (line.form->actor) {
  case ScenarioActor::Click: {
    const std::vector<std::string> &clicks = ScenarioWordSet('c');
    size_t kind =
        std::find(clicks.begin(), clicks.end(), w[1].text) - clicks.begin();
    if (!SimClickTrayIcon(kClickMessages[kind]))
      SimEmit("no icon takes clicks");
    // A right click directly followed by another click shares its pause:
    // the second press comes within the double-click time, before the
    // first press's timer can run out (a right double-click, or a left
    // press that opens the menu while the right click's timer still runs).
    if (w[1].text == "right" && nextAction < actions.size() &&
        actions[nextAction].form->actor == ScenarioActor::Click)
      Deliver(actions[nextAction++]);
    break;
  }
  case ScenarioActor::Callback:
    SimPostMessage(MainWindow, TrayCallbackMessage,
                   static_cast<WPARAM>(ScenarioNumber(w[1])),
                   static_cast<LPARAM>(ScenarioNumber(w[2])));
    break;
  case ScenarioActor::Command:
    SimPostMessage(MainWindow, WM_COMMAND,
                   static_cast<WPARAM>(ScenarioNumber(w[1])), 0);
    break;
  case ScenarioActor::Destroy:
    DestroyWindow(MainWindow);
    break;
  case ScenarioActor::Close:
    SimPostMessage(MainWindow, WM_CLOSE, 0, 0);
    break;
  case ScenarioActor::Quit:
    SimPostMessage(nullptr, WM_QUIT,
                   w.size() > 1 ? static_cast<WPARAM>(ScenarioNumber(w[1])) : 0,
                   0);
    break;
  case ScenarioActor::ShellRestart:
    SimRestartShell();
    break;
  case ScenarioActor::Start:
    StartAgain();
    break;
  case ScenarioActor::FocusOther:
    SimBringOtherProgramToFront();
    break;
  case ScenarioActor::Choose: {
    UINT command = EntryCommand(w[1].text, w[2].text);
    if (command == 0)
      SimEmit("no such entry in the menu");
    if (!SimChooseFromMenu(command))
      SimEmit("no menu is open");
    break;
  }
  case ScenarioActor::Dismiss:
    if (!SimChooseFromMenu(0))
      SimEmit("no menu is open");
    break;
  case ScenarioActor::Answer:
    if (!SimAnswerBox(w[1].text == "ok" ? IDOK : IDCANCEL))
      SimEmit("no box is open");
    break;
  case ScenarioActor::Apply:
    Apply(w);
    break;
  case ScenarioActor::Kernel:
  case ScenarioActor::Switch:
  case ScenarioActor::Driver:
  case ScenarioActor::Display:
  case ScenarioActor::Registry:
  case ScenarioActor::User:
  case ScenarioActor::Resources:
  case ScenarioActor::Shell:
  case ScenarioActor::Fault:
    break; // statements: the reader never lists them among the actions
  }
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
  if (SimOnlySentMessagesTaken() &&
      actions[nextAction].form->actor != ScenarioActor::Click)
    return true;
  const ScenarioLine &line = actions[nextAction++];
  Deliver(line);
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
  Scenario scenario;
  int status = Load(name, text, &scenario);
  if (status != 0)
    return status;
  const std::vector<ScenarioForm> &language = ScenarioLanguage();
  fputs("{\"language\": [", out);
  for (size_t i = 0; i < language.size(); ++i) {
    const ScenarioForm &form = language[i];
    fprintf(out, "%s\n  [\"%s\", %s, \"%s\", %s, ", i ? "," : "", form.keyword,
            form.action ? "true" : "false", form.args,
            form.wine ? "true" : "false");
    JsonText(form.meaning, out);
    fputc(']', out);
  }
  const char *separator = "],\n \"statements\": [";
  for (const auto *part : {&scenario.statements, &scenario.actions}) {
    fputs(separator, out);
    for (size_t i = 0; i < part->size(); ++i) {
      const ScenarioLine &line = (*part)[i];
      fprintf(out, "%s\n  [%d, ", i ? "," : "",
              static_cast<int>(line.form - language.data()));
      WriteWordsJson(line.words, out);
      fputc(']', out);
    }
    separator = "],\n \"actions\": [";
  }
  fputs("]}\n", out);
  return 0;
}

void WriteListingsJson(const std::vector<std::string> &lines,
                       const char *prefix, FILE *out) {
  std::vector<MenuListingEntry> entries;
  for (size_t i = 0, first = 0; i <= lines.size(); ++i) {
    if (i < lines.size() && ReadMenuListingLine(lines[i], &entries)) {
      first = first ? first : i + 1;
      continue;
    }
    if (!first)
      continue;
    fprintf(out, "%s{\"line\": %zu, \"entries\": [", prefix, first);
    for (size_t k = 0; k < entries.size(); ++k) {
      fputs(k ? ", [" : "[", out);
      JsonText(entries[k].resolution, out);
      fputs(", ", out);
      JsonText(entries[k].rate, out);
      fprintf(out, ", %s, %s]", entries[k].grayed ? "true" : "false",
              entries[k].checked ? "true" : "false");
    }
    fputs("]}\n", out);
    entries.clear();
    first = 0;
  }
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
