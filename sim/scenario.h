// The scenario file, read in one place.  A scenario is the notebook's
// statements, then (after a "---" line or from the first action on) the
// actions of a session.  The simulated notebook, the scenario runner, the
// fuzzer's seeds, the Windows rig and, through `crtrate-sim --parse`, the
// end-to-end harness all read scenarios through this file.
//
// Deliberately free of any Win32 header, real or simulated: the same file
// compiles natively and with MinGW.
#pragma once

#include <string>
#include <vector>

// One word of a scenario line: the word, or a quoted text without its
// quotes and with its escapes undone.  A quoted word is never a keyword or
// a number.
struct ScenarioWord {
  std::string text;
  bool quoted;
};
typedef std::vector<ScenarioWord> ScenarioWords;

// Who acts on a line of a scenario: for a statement, the area of the
// notebook it sets up; for an action, what the runner does.
enum class ScenarioActor {
  // Statements.
  Kernel,    // the Windows release, another copy's mutex
  Switch,    // the switch device
  Driver,    // the display driver behind the escape (DisplayDriverModel)
  Display,   // the desktop and the display settings
  Registry,  // keys and values
  User,      // another copy's window, the cursor
  Resources, // the string table
  Shell,     // the notification area and the programs it starts
  Fault,     // a simulated call made to fail
  // Actions.
  Click,        // the user clicks the tray icon
  Callback,     // the icon's callback message with any parameters
  Command,      // WM_COMMAND posted from outside
  Destroy,      // DestroyWindow on the main window
  Close,        // WM_CLOSE from outside
  Quit,         // WM_QUIT from outside
  ShellRestart, // Explorer restarts
  Start,        // the program started again
  FocusOther,   // another program's window comes to the front
  Choose,       // an entry of the open menu
  Dismiss,      // the open menu closed with nothing chosen
  Answer,       // a button of the open box
  Apply,        // ApplyRefreshChoice called directly
};

// One form of a scenario line: the scenario language is the table of them
// (ScenarioLanguage), which the reader checks every line against, the
// runner dispatches from, the fuzzer's record codec encodes and decodes by
// and `crtrate-sim --parse` reports.  A keyword may have several forms.
//
// `args` has one letter per argument:
//   n  a number (32 bits, decimal or 0x hex, optionally negative)
//   i  a number the program takes as signed
//   o  an optional last number
//   L  zero to 23 numbers, to the end of the line
//   M  one to 20 numbers, to the end of the line
//   S  a string id below 0x10000
//   q  a quoted text of at most 511 bytes
//   Q  a quoted text of at most 127 bytes
//   p  a quoted registry key path
//   v  a quoted registry value name
//   D  a value's kind and data, to the end of the line: sz "<text>",
//      sz-bare "<text>", binary <hex byte>..., dword <number>
//   f  a simulated function's name, then optionally a call number from 1
//   x  a menu entry's resolution as the menu shows it (1024x768)
//   r s d c a R h e  a word of that letter's set (ScenarioWordSet)
struct ScenarioForm {
  const char *keyword;
  bool action;         // an action of the session, or a statement
  const char *args;    // one letter per argument, as above
  ScenarioActor actor; // who acts on it
  bool wine;           // the Wine player honours it too
  const char *meaning; // what it says, in a few words
};

// The whole language, statements first.
const std::vector<ScenarioForm> &ScenarioLanguage();
// The words an argument of the word kind `letter` takes: r the Windows
// releases, s the switch device's generations, d the driver's states, c
// the clicks, a a box's answers, R the registry roots, h the shell's
// flags, e the word "refuses", k the kinds of a value's data (the first
// word of argument D); empty for any other letter.
const std::vector<std::string> &ScenarioWordSet(char letter);

// One line that holds words, with its 1-based number in the file, its text
// (without the line end) and the form it matched.
struct ScenarioLine {
  int number;
  std::string text;
  ScenarioWords words;
  const ScenarioForm *form;
};

struct Scenario {
  std::vector<ScenarioLine> statements, actions;
};

// Splits a line into words: blanks separate them, a quoted text (with the
// \" \\ \n \xNN escapes) is one word, and a '#' outside a quoted text
// starts a comment.  False with `error` set for a bad escape or an
// unterminated text.
bool SplitScenarioLine(const std::string &line, ScenarioWords *words,
                       std::string *error);

// A text quoted as scenarios and transcripts quote it: "..." with \" \\ \n
// escapes, valid UTF-8 as it is, and every other byte below 0x20, 0x7F or
// not part of valid UTF-8 as \xNN.  SplitScenarioLine reads it back.
std::string QuoteScenarioText(const std::string &bytes);
// The lines of a text, without their '\n'; a last line without one counts
// too, an empty text has none.
std::vector<std::string> SplitLines(const std::string &text);
// Length of the valid UTF-8 sequence at `s[i]`, or 0.
size_t Utf8Length(const std::string &s, size_t i);

// Sets `*error` to `why` and returns false: how the readers of scenario
// words refuse a line.
inline bool ScenarioError(std::string *error, const std::string &why) {
  *error = why;
  return false;
}

// The scenario's numbers: decimal or 0x hex, an optional leading '-', at
// most 32 bits of magnitude; a quoted word is not a number.
bool ParseScenarioNumber(const ScenarioWord &word, long long *value);
// The value of a word the reader has checked to be a number; 0 for one
// that is not.
long long ScenarioNumber(const ScenarioWord &word);
// A byte of a "binary" value: two hex digits at most, "0x" allowed before.
bool ParseScenarioByte(const ScenarioWord &word, unsigned char *byte);

// One item of a popup menu as a listing shows it.
struct MenuListingItem {
  std::string caption; // UTF-8
  bool separator, grayed, checked;
};
// One entry of a listing, as the user reads it in the menu: the
// resolution and the rate of its caption ("1024x768  75Hz": 1024x768, 75;
// "?" for a caption without words).
struct MenuListingEntry {
  std::string resolution, rate;
  bool grayed, checked;
};
// The name the user knows an entry by: its caption's first word and its
// last word without "Hz".
MenuListingEntry MenuEntryOf(const MenuListingItem &item);
// The transcript's listing of a menu, one line a group of entries between
// separators, in menu order: "menu 1024x768: 60* 70 75 (85)", each entry
// its rate, "*" when checked, in parentheses when greyed.  An entry whose
// resolution is not the group's first one's shows it: "800x600/60".
std::vector<std::string>
MenuListingLines(const std::vector<MenuListingItem> &items);
// Reads a listing line back into its entries; false for a line that is not
// one.
bool ReadMenuListingLine(const std::string &line,
                         std::vector<MenuListingEntry> *entries);

// The form of the language that `words` match, or NULL with `why` saying
// what is wrong (an unknown keyword, or what its forms expect).
const ScenarioForm *MatchScenarioForm(const ScenarioWords &words,
                                      std::string *why);

// Reads a whole scenario: lines without words are skipped, a "---" line or
// the first action starts the actions, and every line must match a form of
// the language.  Returns false with `bad` the offending line and `why` what
// is wrong with it (a line that does not split, a statement after the
// actions, a line no form matches).
bool ReadScenario(const std::string &text, Scenario *scenario,
                  ScenarioLine *bad, std::string *why);
