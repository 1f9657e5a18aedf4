// The display driver behind the private escape 0x3000, as one model shared
// by the simulated notebook (its ExtEscape) and by the Windows rig build
// (its display-control channel): the driver's state (displays attached and
// active, level, panel, CRT mode, refresh rates), the scenario statements
// that set it, the exact request sizes it accepts, the results and replies
// a scenario forces, and the transcript's "escape" line.
//
// Deliberately free of any Win32 header, real or simulated: the same file
// compiles natively and with MinGW.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class DisplayDriverModel {
public:
  // One word of a scenario statement: the word, or a quoted text without
  // its quotes.  A quoted word is never a number.
  struct Word {
    std::string text;
    bool quoted;
  };

  // Words in the refresh-rate reply (sub-function 65).
  static const int kRateCount = 20;

  // A fresh driver: loaded, answering 1 to every request of the right
  // size, with all-zero state.
  DisplayDriverModel();
  void Reset();

  // The statement keywords this model takes: driver, result, reply,
  // attached, active, level, panel, mode, rates.
  static bool IsStatement(const std::string &keyword);
  // Applies one statement split into words (w[0] the keyword).  Returns
  // false and sets `error` for a malformed one or a keyword of another
  // area ("unknown statement").
  bool ApplyStatement(const std::vector<Word> &w, std::string *error);
  // Splits a scenario line into words: blanks separate them, a quoted text
  // (with the \" \\ \n \xNN escapes) is one word, and a '#' outside a
  // quoted text starts a comment.  False with `error` set for a bad escape
  // or an unterminated text.
  static bool SplitLine(const std::string &line, std::vector<Word> *words,
                        std::string *error);
  // Splits `line` and applies it when it is one of this model's
  // statements.  Sets `mine` to whether it was; a line of another
  // area is left alone and not an error.  Returns false with `error` set
  // for a malformed line of this model or a line that does not split.
  bool ApplyLine(const std::string &line, bool *mine, std::string *error);

  // The scenario's numbers: decimal or 0x hex, an optional leading '-', at
  // most 32 bits of magnitude; a quoted word is not a number.
  static bool ParseNumber(const Word &word, long long *value);

  // One request as the escape carries it: `input` holds `inputSize` bytes
  // of little-endian 32-bit words, the sub-function first; the reply goes
  // to `reply` (`replySize` bytes).  Returns the driver's result.  A reply
  // is written only at the sub-function's exact sizes, whatever the
  // result; the state changes only when the result is 1.
  int Request(const void *input, int inputSize, int replySize, void *reply);
  // Request() plus its transcript line, "escape <words> -> <result>", in
  // `line`.  Negative sizes are refused with 0 and no line.
  int Escape(const void *input, int inputSize, int replySize, void *reply,
             std::string *line);
  // "escape <word>... -> <result>": the whole input words of a request.
  static std::string EscapeLine(const void *input, int inputSize, int result);

  // The state as requests have left it.
  bool present() const { return present_; }
  uint32_t attached() const { return attached_; }
  uint32_t active() const { return active_; }
  uint32_t level() const { return level_; }
  uint32_t panelWidth() const { return panelWidth_; }
  uint32_t modeNumber() const { return modeNumber_; }
  uint32_t refresh() const { return rates_[0]; } // word 0 of the 65 reply

private:
  struct Forced {
    uint32_t code;
    int result;
  };
  struct ForcedReply {
    uint32_t code;
    std::vector<uint32_t> words;
  };

  std::vector<uint8_t> StateReply(uint32_t code, int size) const;
  std::vector<uint8_t> Reply(uint32_t code, int size) const;
  void ChangeState(const std::vector<uint32_t> &words);

  bool present_;                // the driver is loaded and answers the escape
  uint32_t attached_;           // displays attached (CRT 1, LCD 2)
  uint32_t active_;             // displays showing the desktop
  uint32_t level_;              // driver level (sub-function 28)
  uint32_t panelWidth_;         // LCD panel width in pixels (sub-function 0)
  uint32_t modeNumber_;         // CRT mode in force (sub-functions 9 and 10)
  uint32_t rates_[kRateCount];  // rate list; word 0 the rate in force
  std::vector<Forced> results_; // results the scenario forces
  std::vector<ForcedReply> replies_; // reply words the scenario forces
};
