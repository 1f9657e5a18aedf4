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
#include <map>
#include <string>
#include <vector>

#include "sim/scenario.h"

class DisplayDriverModel {
public:
  typedef ScenarioWord Word;

  // Words in the refresh-rate reply (sub-function 65).
  static const int kRateCount = 20;

  // A fresh driver: loaded, answering 1 to every request of the right
  // size, with all-zero state.
  DisplayDriverModel();
  void Reset();

  // Applies one statement of the driver's (ScenarioActor::Driver: driver,
  // result, reply, attached, active, level, panel, mode, rates), split
  // into words that the scenario reader has checked (w[0] the keyword).
  // False for a keyword or word that is not the driver's.
  bool ApplyStatement(const std::vector<Word> &w);

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
  uint32_t modeNumber() const { return modeNumber_; }
  uint32_t refresh() const { return rates_[0]; } // word 0 of the 65 reply

private:
  std::vector<uint8_t> StateReply(uint32_t code, int size) const;
  std::vector<uint8_t> Reply(uint32_t code, int size) const;
  void ChangeState(const std::vector<uint32_t> &words);

  bool present_;               // the driver is loaded and answers the escape
  uint32_t attached_;          // displays attached (CRT 1, LCD 2)
  uint32_t active_;            // displays showing the desktop
  uint32_t level_;             // driver level (sub-function 28)
  uint32_t panelWidth_;        // LCD panel width in pixels (sub-function 0)
  uint32_t modeNumber_;        // CRT mode in force (sub-functions 9 and 10)
  uint32_t rates_[kRateCount]; // rate list; word 0 the rate in force
  // Results and reply words the scenario forces, by sub-function.
  std::map<uint32_t, int> results_;
  std::map<uint32_t, std::vector<uint32_t>> replies_;
};
