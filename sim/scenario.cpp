// Scenario files: words, numbers, and the split into statements and actions.
#include "sim/scenario.h"

#include <algorithm>

namespace {

// One action keyword: its argument counts.  Arguments are numbers, but for
// the kinds of "click" and "answer", which the runner checks.
struct ActionKind {
  const char *name;
  size_t minArgs, maxArgs;
};

const ActionKind kActions[] = {
    {"click", 1, 1},         {"callback", 2, 2},    {"command", 1, 1},
    {"destroy", 0, 0},       {"close", 0, 0},       {"quit", 0, 1},
    {"shell-restart", 0, 0}, {"choose", 1, 1},      {"answer", 1, 1},
    {"apply", 2, 2},         {"menu", 2, 5},        {"dismiss", 0, 0},
    {"start", 0, 0},         {"focus-other", 0, 0},
};

const ActionKind *FindAction(const std::string &name) {
  for (const ActionKind &kind : kActions)
    if (name == kind.name)
      return &kind;
  return nullptr;
}

// A blank, tab, line feed, vertical tab, form feed or carriage return.
bool Space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  c = static_cast<char>(c | 0x20); // 'A'-'F' to 'a'-'f'
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
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
      return ScenarioError(error, "bad escape in quoted text");
    }
  }
  return ScenarioError(error, "unterminated quoted text");
}

// Checks an action's arguments; returns an error message or "".
std::string CheckAction(const ScenarioWords &w) {
  const ActionKind *kind = FindAction(w[0].text);
  size_t args = w.size() - 1;
  if (args < kind->minArgs || args > kind->maxArgs ||
      (w[0].text == "menu" && args != 2 && args != 5))
    return "wrong number of arguments";
  std::vector<long long> values;
  if (w[0].text != "click" && w[0].text != "answer" &&
      !ParseScenarioNumbers(w, 1, &values))
    return "bad number";
  return "";
}

} // namespace

bool SplitScenarioLine(const std::string &line, ScenarioWords *words,
                       std::string *error) {
  size_t pos = 0;
  while (pos < line.size()) {
    char c = line[pos];
    if (Space(c)) {
      ++pos;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      ScenarioWord word{"", true};
      ++pos;
      if (!ReadQuoted(line, &pos, &word.text, error))
        return false;
      words->push_back(word);
    } else {
      size_t end = pos;
      while (end < line.size() && !Space(line[end]))
        ++end;
      words->push_back({line.substr(pos, end - pos), false});
      pos = end;
    }
  }
  return true;
}

std::vector<std::string> SplitLines(const std::string &text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

size_t Utf8Length(const std::string &s, size_t i) {
  unsigned char c = s[i];
  size_t n = c < 0x80         ? 1
             : (c >> 5) == 6  ? 2
             : (c >> 4) == 14 ? 3
             : (c >> 3) == 30 ? 4
                              : 0;
  if (n == 0 || (n > 1 && c < 0xC2) || i + n > s.size())
    return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
      return 0;
  return n;
}

std::string QuoteScenarioText(const std::string &bytes) {
  std::string out = "\"";
  for (size_t i = 0; i < bytes.size();) {
    unsigned char c = bytes[i];
    size_t n = Utf8Length(bytes, i);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (n == 0 || c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += "0123456789abcdef"[c >> 4];
      out += "0123456789abcdef"[c & 15];
    } else {
      out.append(bytes, i, n);
      i += n;
      continue;
    }
    ++i;
  }
  return out + "\"";
}

bool ParseScenarioNumbers(const ScenarioWords &words, size_t first,
                          std::vector<long long> *values) {
  long long value;
  for (size_t i = first; i < words.size(); ++i) {
    if (!ParseScenarioNumber(words[i], &value))
      return false;
    values->push_back(value);
  }
  return true;
}

bool ParseScenarioNumber(const ScenarioWord &word, long long *value) {
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
  // Digits up to the end, as strtoull would take them (it allows the hex
  // prefix once more), refusing anything past 32 bits of magnitude.
  if (base == 16 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      HexDigit(text[2]) >= 0)
    text += 2;
  unsigned long long magnitude = 0;
  for (; *text != '\0'; ++text) {
    int digit = HexDigit(*text);
    if (digit < 0 || digit >= base)
      return false;
    magnitude =
        magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    if (magnitude > 0xFFFFFFFFull)
      return false;
  }
  *value = negative ? -static_cast<long long>(magnitude)
                    : static_cast<long long>(magnitude);
  return true;
}

bool IsScenarioAction(const std::string &keyword) {
  return FindAction(keyword) != nullptr;
}

bool ReadScenario(const std::string &text, Scenario *scenario,
                  ScenarioLine *bad, std::string *why) {
  bool inActions = false;
  int number = 0;
  for (const std::string &each : SplitLines(text)) {
    ScenarioLine line{++number, each, {}};
    if (!line.text.empty() && line.text.back() == '\r')
      line.text.pop_back();
    *bad = line;
    if (!SplitScenarioLine(line.text, &line.words, why))
      return false;
    const ScenarioWords &w = line.words;
    if (w.empty())
      continue;
    bool action = !w[0].quoted && IsScenarioAction(w[0].text);
    if (w.size() == 1 && !w[0].quoted && w[0].text == "---") {
      inActions = true;
    } else if (action) {
      *why = CheckAction(w);
      if (!why->empty())
        return false;
      inActions = true;
      scenario->actions.push_back(line);
    } else if (inActions) {
      return ScenarioError(why, "statement after actions");
    } else {
      scenario->statements.push_back(line);
    }
  }
  return true;
}
