// The display driver model: state, statements, request sizes, results and
// replies, and the transcript line of each request.
#include "sim/driver_model.h"

namespace {

// One driver request: its input and reply sizes in bytes.
struct SubFunction {
  uint32_t code;
  int inSize, replySize;
};

// The sub-functions the driver knows, with the only sizes it accepts.
const SubFunction kSubFunctions[] = {
    {0, 4, 6},  {1, 4, 8},  {2, 12, 0},   {7, 4, 4},   {9, 4, 4},
    {10, 8, 0}, {28, 4, 4}, {65, 28, 80}, {66, 24, 0},
};

const SubFunction *FindSubFunction(uint32_t code) {
  for (const auto &sub : kSubFunctions)
    if (sub.code == code)
      return &sub;
  return nullptr;
}

void PutWord(std::vector<uint8_t> *bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4 && offset + i < bytes->size(); ++i)
    (*bytes)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The whole little-endian words of a request's input.
std::vector<uint32_t> InputWords(const void *input, int inputSize) {
  std::vector<uint32_t> words;
  const uint8_t *in = static_cast<const uint8_t *>(input);
  for (int i = 0; in && i + 4 <= inputSize; i += 4)
    words.push_back(static_cast<uint32_t>(in[i]) |
                    static_cast<uint32_t>(in[i + 1]) << 8 |
                    static_cast<uint32_t>(in[i + 2]) << 16 |
                    static_cast<uint32_t>(in[i + 3]) << 24);
  return words;
}

} // namespace

DisplayDriverModel::DisplayDriverModel() { Reset(); }

void DisplayDriverModel::Reset() {
  present_ = true;
  attached_ = active_ = level_ = panelWidth_ = modeNumber_ = 0;
  for (uint32_t &rate : rates_)
    rate = 0;
  results_.clear();
  replies_.clear();
}

bool DisplayDriverModel::ApplyStatement(const std::vector<Word> &w) {
  const std::string &what = w[0].text;
  std::vector<uint32_t> values;
  for (size_t i = 1; i < w.size(); ++i)
    values.push_back(static_cast<uint32_t>(ScenarioNumber(w[i])));
  if (what == "driver") {
    if (w[1].text != "present" && w[1].text != "missing")
      return false;
    present_ = w[1].text == "present";
  } else if (what == "result") {
    results_[values[0]] = static_cast<int>(values[1]);
  } else if (what == "reply") {
    replies_[values[0]].assign(values.begin() + 1, values.end());
  } else if (what == "rates") {
    for (int i = 0; i < kRateCount; ++i)
      rates_[i] = static_cast<size_t>(i) < values.size() ? values[i] : 0;
  } else if (what == "attached" || what == "active" || what == "level" ||
             what == "panel" || what == "mode") {
    *(what == "attached" ? &attached_
      : what == "active" ? &active_
      : what == "level"  ? &level_
      : what == "panel"  ? &panelWidth_
                         : &modeNumber_) = values[0];
  } else {
    return false;
  }
  return true;
}

std::vector<uint8_t> DisplayDriverModel::StateReply(uint32_t code,
                                                    int size) const {
  std::vector<uint8_t> bytes(static_cast<size_t>(size), 0);
  if (code == 0) { // the panel width as a 16-bit word
    bytes[0] = static_cast<uint8_t>(panelWidth_);
    bytes[1] = static_cast<uint8_t>(panelWidth_ >> 8);
  } else if (code == 65) {
    for (int i = 0; i < kRateCount; ++i)
      PutWord(&bytes, 4 * static_cast<size_t>(i), rates_[i]);
  } else if (code == 1 || code == 7 || code == 9 || code == 28) {
    PutWord(&bytes, 0,
            code == 1   ? active_
            : code == 7 ? attached_
            : code == 9 ? modeNumber_
                        : level_);
  }
  return bytes;
}

std::vector<uint8_t> DisplayDriverModel::Reply(uint32_t code, int size) const {
  auto forced = replies_.find(code);
  if (forced == replies_.end())
    return StateReply(code, size);
  std::vector<uint8_t> bytes(static_cast<size_t>(size), 0);
  for (size_t i = 0; i < forced->second.size(); ++i)
    PutWord(&bytes, 4 * i, forced->second[i]);
  return bytes;
}

// Requests that change the driver's state do so only when they succeed.
void DisplayDriverModel::ChangeState(const std::vector<uint32_t> &words) {
  if (words[0] == 2)
    active_ = words[1];
  else if (words[0] == 10)
    modeNumber_ = words[1];
  else if (words[0] == 66)
    rates_[0] = words[5];
}

int DisplayDriverModel::Request(const void *input, int inputSize, int replySize,
                                void *reply) {
  std::vector<uint32_t> words = InputWords(input, inputSize);
  if (!present_ || words.empty())
    return 0;
  const SubFunction *sub = FindSubFunction(words[0]);
  if (!sub || inputSize != sub->inSize || replySize != sub->replySize ||
      (replySize > 0 && !reply))
    return 0;
  auto forced = results_.find(sub->code);
  int result = forced == results_.end() ? 1 : forced->second;
  std::vector<uint8_t> bytes = Reply(sub->code, sub->replySize);
  uint8_t *out = static_cast<uint8_t *>(reply);
  for (size_t i = 0; i < bytes.size(); ++i)
    out[i] = bytes[i];
  if (result == 1)
    ChangeState(words);
  return result;
}

int DisplayDriverModel::Escape(const void *input, int inputSize, int replySize,
                               void *reply, std::string *line) {
  line->clear();
  if (inputSize < 0 || replySize < 0)
    return 0;
  int result = Request(input, inputSize, replySize, reply);
  *line = EscapeLine(input, inputSize, result);
  return result;
}

std::string DisplayDriverModel::EscapeLine(const void *input, int inputSize,
                                           int result) {
  std::string line = "escape";
  for (uint32_t word : InputWords(input, inputSize))
    line += " " + std::to_string(word);
  return line + " -> " + std::to_string(result);
}
