// Scenario files: words, numbers, and the split into statements and actions.
#include "sim/scenario.h"

#include <algorithm>
#include <iterator>

namespace {

typedef ScenarioActor A;

// The language, one form a line: statements, then actions.  Plain data,
// ready before any constructor runs: the Windows rig reads its scenario
// from one.
const ScenarioForm kLanguage[] = {
    {"os", false, "r", A::Kernel, true, "a Windows release by name"},
    {"os", false, "nnnQo", A::Kernel, false,
     "platform, major, minor, service string and build of a release"},
    {"mutex", false, "Q", A::Kernel, false,
     "another copy started and holds this mutex, with no window yet"},
    {"switch", false, "s", A::Switch, false, "which switch device name opens"},
    {"switch-fail", false, "M", A::Switch, false,
     "the switch device refuses these control codes"},
    {"switch-text", false, "q", A::Switch, false,
     "control code 3's text: the display class subkey"},
    {"switch-ref", false, "n", A::Switch, false,
     "the device reference code 2 reports"},
    {"driver", false, "d", A::Driver, true,
     "whether the display driver answers the escape"},
    {"result", false, "ni", A::Driver, true,
     "the result the driver gives a sub-function"},
    {"reply", false, "nL", A::Driver, true,
     "the reply words the driver gives a sub-function"},
    {"attached", false, "n", A::Driver, true,
     "displays attached (1 CRT, 2 LCD)"},
    {"active", false, "n", A::Driver, true, "displays showing the desktop"},
    {"level", false, "n", A::Driver, true, "the driver's level (3: switch)"},
    {"panel", false, "n", A::Driver, true, "the panel's width in pixels"},
    {"mode", false, "n", A::Driver, true, "the CRT mode number in force"},
    {"rates", false, "M", A::Driver, true,
     "the refresh-rate reply, the rate in force first"},
    {"desktop", false, "iiii", A::Display, true,
     "width, height, bits per pixel and rate of the desktop"},
    {"modes", false, "iiii", A::Display, false,
     "a mode EnumDisplaySettingsA lists"},
    {"cds-result", false, "i", A::Display, false,
     "what ChangeDisplaySettingsA answers"},
    {"planar", false, "", A::Display, false,
     "a 16-colour desktop kept in four planes"},
    {"key", false, "Rp", A::Registry, true, "a key that exists"},
    {"locked", false, "Rp", A::Registry, false,
     "a key that cannot be opened for writing"},
    {"value", false, "RpvD", A::Registry, true, "a value and its data"},
    {"running", false, "Q", A::User, false,
     "another program's window, class and title alike"},
    {"cursor", false, "ii", A::User, false, "where the mouse is"},
    {"string", false, "Sq", A::Resources, false,
     "a text of the program's string table"},
    {"shell", false, "h", A::Shell, false,
     "ie4: says TaskbarCreated; sends: sends its callbacks; no-rundll32"},
    {"shell", false, "en", A::Shell, false,
     "the notification area refuses this many adds before it is there"},
    {"fail", false, "f", A::Fault, false,
     "a simulated call fails: the nth, or every one"},

    {"click", true, "c", A::Click, true, "a click on the tray icon"},
    {"callback", true, "ii", A::Callback, false,
     "the icon's callback message with these wParam and lParam"},
    {"command", true, "n", A::Command, false,
     "WM_COMMAND with this identifier, posted from outside"},
    {"destroy", true, "", A::Destroy, false, "DestroyWindow on the window"},
    {"close", true, "", A::Close, true, "WM_CLOSE from outside"},
    {"quit", true, "o", A::Quit, true, "WM_QUIT from outside, with a code"},
    {"shell-restart", true, "", A::ShellRestart, true, "Explorer restarts"},
    {"start", true, "", A::Start, false, "crtrate started again"},
    {"focus-other", true, "", A::FocusOther, false,
     "another program's window comes to the front"},
    {"choose", true, "xn", A::Choose, true,
     "the entry of the open menu with this resolution and rate"},
    {"dismiss", true, "", A::Dismiss, true,
     "the open menu closed with nothing chosen"},
    {"answer", true, "a", A::Answer, true, "a button of the open box"},
    {"apply", true, "ii", A::Apply, false,
     "ApplyRefreshChoice with a ModeCode and a rate"},
};

// The words of each word kind of argument, by its letter.
const struct {
  char letter;
  const char *words; // blank-separated
} kWordSets[] = {
    {'r', "win95 win95a win95b win95c win98 nt4 winme win2k"},
    {'s', "none first second"},
    {'d', "missing present"},
    {'c', "left right double rightdouble leftup rightup"},
    {'a', "ok cancel"},
    {'R', "HKCC HKLM"},
    {'h', "ie4 sends no-rundll32"},
    {'e', "refuses"},
    // The kinds of a registry value's data, the first word of argument D.
    {'k', "sz sz-bare binary dword"},
};

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

bool Number(const ScenarioWord &word) {
  long long value;
  return ParseScenarioNumber(word, &value);
}

bool Quoted(const ScenarioWord &word, size_t max) {
  return word.quoted && word.text.size() <= max;
}

// Whether `w` from word `at` on fits `args`.
bool Fits(const ScenarioWords &w, size_t at, const char *args) {
  for (const char *a = args; *a; ++a) {
    size_t left = w.size() - at;
    const std::vector<std::string> &set = ScenarioWordSet(*a);
    if (!set.empty()) {
      if (!left || w[at].quoted ||
          std::find(set.begin(), set.end(), w[at].text) == set.end())
        return false;
      ++at;
    } else if (*a == 'L' || *a == 'M') {
      for (; at < w.size(); ++at)
        if (!Number(w[at]))
          return false;
      if (left > (*a == 'L' ? 23u : 20u) || (*a == 'M' && !left))
        return false;
    } else if (*a == 'o') {
      if (left && !Number(w[at++]))
        return false;
    } else if (*a == 'D') {
      if (!left || w[at].quoted)
        return false;
      const std::string &kind = w[at++].text;
      size_t rest = w.size() - at;
      if (kind == "sz" || kind == "sz-bare")
        return rest == 1 && Quoted(w[at], 511);
      if (kind == "dword")
        return rest == 1 && Number(w[at]);
      if (kind != "binary" || rest > 511)
        return false;
      unsigned char byte;
      for (; at < w.size(); ++at)
        if (!ParseScenarioByte(w[at], &byte))
          return false;
    } else if (*a == 'f') {
      long long nth = 1;
      if (!left || w[at++].quoted ||
          (at < w.size() && (!ParseScenarioNumber(w[at++], &nth) || nth < 1)))
        return false;
    } else if (!left) {
      return false;
    } else {
      const ScenarioWord &word = w[at++];
      long long value = 0;
      bool ok = *a == 'q'                ? Quoted(word, 511)
                : *a == 'Q'              ? Quoted(word, 127)
                : *a == 'p' || *a == 'v' ? word.quoted
                : *a == 'x'
                    ? !word.quoted && !word.text.empty()
                    : ParseScenarioNumber(word, &value) &&
                          (*a != 'S' || (value >= 0 && value < 0x10000));
      if (!ok)
        return false;
    }
  }
  return at == w.size();
}

// "keyword <arguments>" for each form of `keyword`, as a reader expects it.
std::string Expected(const std::string &keyword) {
  std::string out;
  for (const ScenarioForm &form : ScenarioLanguage())
    if (keyword == form.keyword)
      out += std::string(out.empty() ? "expected: " : " | ") + keyword +
             (*form.args ? " " : "") + form.args;
  return out;
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

long long ScenarioNumber(const ScenarioWord &word) {
  long long value = 0;
  ParseScenarioNumber(word, &value);
  return value;
}

bool ParseScenarioByte(const ScenarioWord &word, unsigned char *byte) {
  std::string text = word.text;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text = text.substr(2);
  if (word.quoted || text.empty() || text.size() > 2 ||
      text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return false;
  *byte = static_cast<unsigned char>(std::stoul(text, nullptr, 16));
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

MenuListingEntry MenuEntryOf(const MenuListingItem &item) {
  ScenarioWords words;
  std::string error;
  SplitScenarioLine(item.caption, &words, &error);
  MenuListingEntry entry = {"?", "?", item.grayed, item.checked};
  if (!words.empty()) {
    entry.resolution = words.front().text;
    entry.rate = words.back().text;
    if (entry.rate.size() > 2 &&
        entry.rate.compare(entry.rate.size() - 2, 2, "Hz") == 0)
      entry.rate.resize(entry.rate.size() - 2);
  }
  return entry;
}

std::vector<std::string>
MenuListingLines(const std::vector<MenuListingItem> &items) {
  std::vector<std::string> lines;
  std::string line, label;
  for (size_t i = 0; i <= items.size(); ++i) {
    if (i == items.size() || items[i].separator) {
      if (!line.empty())
        lines.push_back(line);
      line.clear();
      continue;
    }
    MenuListingEntry entry = MenuEntryOf(items[i]);
    if (line.empty()) {
      label = entry.resolution;
      line = "menu " + label + ":";
    }
    std::string name =
        (entry.resolution == label ? "" : entry.resolution + "/") + entry.rate +
        (entry.checked ? "*" : "");
    line += " " + (entry.grayed ? "(" + name + ")" : name);
  }
  return lines;
}

bool ReadMenuListingLine(const std::string &line,
                         std::vector<MenuListingEntry> *entries) {
  ScenarioWords words;
  std::string error;
  if (line.compare(0, 5, "menu ") != 0 ||
      !SplitScenarioLine(line, &words, &error) || words.size() < 3 ||
      words[1].text.empty() || words[1].text.back() != ':')
    return false;
  std::string label = words[1].text.substr(0, words[1].text.size() - 1);
  for (size_t i = 2; i < words.size(); ++i) {
    std::string name = words[i].text;
    MenuListingEntry entry = {label, "", false, false};
    entry.grayed = name.size() > 2 && name.front() == '(' && name.back() == ')';
    if (entry.grayed)
      name = name.substr(1, name.size() - 2);
    entry.checked = !name.empty() && name.back() == '*';
    if (entry.checked)
      name.pop_back();
    size_t slash = name.find('/');
    if (slash != std::string::npos) {
      entry.resolution = name.substr(0, slash);
      name = name.substr(slash + 1);
    }
    entry.rate = name;
    entries->push_back(entry);
  }
  return true;
}

const std::vector<ScenarioForm> &ScenarioLanguage() {
  static const std::vector<ScenarioForm> language(std::begin(kLanguage),
                                                  std::end(kLanguage));
  return language;
}

const std::vector<std::string> &ScenarioWordSet(char letter) {
  static const std::vector<std::string> none;
  static std::vector<std::pair<char, std::vector<std::string>>> sets;
  if (sets.empty())
    for (const auto &set : kWordSets) {
      ScenarioWords words;
      std::string error;
      SplitScenarioLine(set.words, &words, &error);
      sets.push_back({set.letter, {}});
      for (const ScenarioWord &word : words)
        sets.back().second.push_back(word.text);
    }
  for (const auto &set : sets)
    if (set.first == letter)
      return set.second;
  return none;
}

const ScenarioForm *MatchScenarioForm(const ScenarioWords &words,
                                      std::string *why) {
  if (words.empty() || words[0].quoted)
    return ScenarioError(why, "a line starts with its keyword"), nullptr;
  for (const ScenarioForm &form : ScenarioLanguage())
    if (words[0].text == form.keyword && Fits(words, 1, form.args))
      return &form;
  std::string expected = Expected(words[0].text);
  ScenarioError(why, expected.empty() ? "unknown keyword " + words[0].text
                                      : expected);
  return nullptr;
}

bool ReadScenario(const std::string &text, Scenario *scenario,
                  ScenarioLine *bad, std::string *why) {
  bool inActions = false;
  int number = 0;
  for (const std::string &each : SplitLines(text)) {
    ScenarioLine line{++number, each, {}, nullptr};
    if (!line.text.empty() && line.text.back() == '\r')
      line.text.pop_back();
    *bad = line;
    if (!SplitScenarioLine(line.text, &line.words, why))
      return false;
    const ScenarioWords &w = line.words;
    if (w.empty())
      continue;
    if (w.size() == 1 && !w[0].quoted && w[0].text == "---") {
      inActions = true;
      continue;
    }
    line.form = MatchScenarioForm(w, why);
    if (!line.form)
      return false;
    if (!line.form->action && inActions)
      return ScenarioError(why, "statement after actions");
    inActions |= line.form->action;
    (line.form->action ? scenario->actions : scenario->statements)
        .push_back(line);
  }
  return true;
}
