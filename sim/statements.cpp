// Scenario statements: splitting a line into words and quoted texts, and
// handing each statement to the area of the notebook it configures.
#include <cstdlib>
#include <map>

#include "sim/internal.h"

namespace {

typedef bool (*Setter)(const sim::Words &, std::string *);

// The statement keywords and the area setter behind each.
const std::map<std::string, Setter> kSetters = {
    {"os", sim::SetOs},
    {"switch", sim::SetSwitch},
    {"switch-fail", sim::SetSwitch},
    {"switch-text", sim::SetSwitch},
    {"switch-ref", sim::SetSwitch},
    {"driver", sim::SetDriver},
    {"result", sim::SetDriver},
    {"reply", sim::SetDriver},
    {"attached", sim::SetDriver},
    {"active", sim::SetDriver},
    {"level", sim::SetDriver},
    {"panel", sim::SetDriver},
    {"mode", sim::SetDriver},
    {"rates", sim::SetDriver},
    {"desktop", sim::SetDisplay},
    {"modes", sim::SetDisplay},
    {"cds-result", sim::SetDisplay},
    {"key", sim::SetRegistry},
    {"value", sim::SetRegistry},
    {"locked", sim::SetRegistry},
    {"cursor", sim::SetUser},
    {"running", sim::SetUser},
    {"string", sim::SetResources},
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// Reads the quoted text starting after the opening quote at `*pos`.
bool ReadQuoted(const std::string &line, size_t *pos, std::string *text,
                std::string *error) {
  for (size_t i = *pos; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c != '\\') {
      *text += c;
      continue;
    }
    if (++i == line.size())
      break;
    char e = line[i];
    if (e == 'n') {
      *text += '\n';
    } else if (e == '"' || e == '\\') {
      *text += e;
    } else if (e == 'x' && i + 2 < line.size() && HexDigit(line[i + 1]) >= 0 &&
               HexDigit(line[i + 2]) >= 0) {
      *text +=
          static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2]));
      i += 2;
    } else {
      *error = "bad escape in quoted text";
      return false;
    }
  }
  *error = "unterminated quoted text";
  return false;
}

// Splits a statement into words; a '#' word starts a comment.
bool Split(const std::string &line, sim::Words *words, std::string *error) {
  size_t pos = 0;
  while (pos < line.size()) {
    char c = line[pos];
    if (isspace(static_cast<unsigned char>(c))) {
      ++pos;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      sim::Word word{"", true};
      ++pos;
      if (!ReadQuoted(line, &pos, &word.text, error))
        return false;
      words->push_back(word);
    } else {
      size_t end = pos;
      while (end < line.size() &&
             !isspace(static_cast<unsigned char>(line[end])))
        ++end;
      words->push_back({line.substr(pos, end - pos), false});
      pos = end;
    }
  }
  return true;
}

bool SetFault(const sim::Words &w, std::string *error) {
  long long nth = 0;
  if (w.size() < 2 || w.size() > 3 || w[1].quoted) {
    *error = "expected: fail <function> [<n>]";
    return false;
  }
  if (w.size() == 3 && (!sim::ParseNumber(w[2], &nth) || nth < 1)) {
    *error = "bad call number";
    return false;
  }
  if (!SimFailCall(w[1].text, static_cast<int>(nth))) {
    *error = "unknown function";
    return false;
  }
  return true;
}

} // namespace

namespace sim {

bool ParseNumber(const Word &word, long long *value) {
  if (word.quoted || word.text.empty())
    return false;
  const char *text = word.text.c_str();
  bool negative = *text == '-';
  if (negative)
    ++text;
  int base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
  }
  if (*text == '\0' || *text == '-' || *text == '+')
    return false;
  char *end = nullptr;
  unsigned long long magnitude = strtoull(text, &end, base);
  if (*end != '\0' || magnitude > 0xFFFFFFFFull)
    return false;
  *value = negative ? -static_cast<long long>(magnitude)
                    : static_cast<long long>(magnitude);
  return true;
}

} // namespace sim

bool SimApplyStatement(const std::string &line, std::string *error) {
  std::string scratch;
  if (!error)
    error = &scratch;
  sim::Words words;
  if (!Split(line, &words, error))
    return false;
  if (words.empty())
    return true;
  if (words[0].quoted) {
    *error = "unknown statement";
    return false;
  }
  if (words[0].text == "fail")
    return SetFault(words, error);
  auto setter = kSetters.find(words[0].text);
  if (setter == kSetters.end()) {
    *error = "unknown statement";
    return false;
  }
  return setter->second(words, error);
}

bool SimApplyScenario(const std::string &text, std::string *error) {
  size_t start = 0;
  int number = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    ++number;
    std::string why;
    if (!SimApplyStatement(line, &why)) {
      if (error)
        *error = std::to_string(number) + ": " + why + ": " + line;
      return false;
    }
    start = end + 1;
  }
  return true;
}
