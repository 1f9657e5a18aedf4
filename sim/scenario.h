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

// One line that holds words, with its 1-based number in the file and its
// text (without the line end).
struct ScenarioLine {
  int number;
  std::string text;
  ScenarioWords words;
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
// The numbers of `words` from `first` on; false when one is not a number.
bool ParseScenarioNumbers(const ScenarioWords &words, size_t first,
                          std::vector<long long> *values);

// The action keywords (click, callback, command, destroy, close, quit,
// shell-restart, start, choose, dismiss, answer, apply, menu); every other
// first word is a statement's.
bool IsScenarioAction(const std::string &keyword);

// Reads a whole scenario: lines without words are skipped, a "---" line or
// the first action starts the actions, and an action's words are checked
// against its keyword's argument count.  Statements are not checked here
// (each area of the notebook checks its own).  Returns false with `bad`
// the offending line and `why` what is wrong with it (a line that does not
// split, a statement after the actions, a wrong number of arguments).
bool ReadScenario(const std::string &text, Scenario *scenario,
                  ScenarioLine *bad, std::string *why);
