// The record codec, written once for both directions: a Codec either reads
// an input's bytes and writes a line's words, or reads a line's words and
// writes the bytes that read back as them, field by field as the line's
// form in the scenario language names them.
#include "harness/records.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "driver/driver.h"
#include "sim/scenario.h"
#include "sim/sim.h"

namespace {

typedef std::vector<std::string> Table;

// Interesting values, picked by a byte below the table's size.  A byte
// from there up to 0xFE is a small number of its own (byte - size); 0xFF
// is followed by four raw bytes.
const uint32_t kNumbers[] = {
    0,    1,   2,   3,    4,          5,          6,         7,    8,
    9,    10,  13,  15,   16,         24,         28,        32,   60,
    65,   66,  70,  72,   75,         85,         100,       480,  600,
    640,  768, 800, 1024, 1200,       1280,       9000,      9013, 9014,
    1225, 255, 256, 4096, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
const uint32_t kNumberCount = sizeof kNumbers / sizeof kNumbers[0];

const Table kValueNames = {"CRTResolution", "RefreshRate", "Pairlux_SameImage",
                           "ShowAllModes"};
const Table kAdapterKeys = {"0000", "0001", ""};

// The resolutions of the menu's entries, as their captions name them.
Table MenuResolutions() {
  Table names;
  for (const CrtResolution &r : CrtResolutions)
    names.push_back(std::to_string(r.Width) + "x" + std::to_string(r.Height));
  return names;
}

// The string the driver-missing box formats: a text of the program's own,
// never the machine's, so it is not varied.
const uint32_t kFormatStringId = 106;

class Codec {
public:
  // Reads records from `data`.
  Codec(const uint8_t *data, size_t size) : in_(data), end_(data + size) {}
  // Writes the records of one line's words.
  explicit Codec(const ScenarioWords *words) : words_(words) {}

  bool More() const { return in_ < end_; }
  std::string bytes; // written records
  std::string line;  // read words, after the keyword

  // Reads one byte (0 past the end), or writes `value`.
  uint8_t Byte(uint8_t value = 0) {
    if (!words_)
      return in_ < end_ ? *in_++ : 0;
    bytes += static_cast<char>(value);
    return value;
  }

  uint32_t Number(uint32_t value = 0) {
    if (words_) {
      uint32_t i = 0;
      while (i < kNumberCount && kNumbers[i] != value)
        ++i;
      if (i < kNumberCount)
        Byte(static_cast<uint8_t>(i));
      else if (value <= 0xFEu - kNumberCount)
        Byte(static_cast<uint8_t>(value + kNumberCount));
      else
        for (int k = -1; k < 4; ++k)
          Byte(k < 0 ? 0xFF : static_cast<uint8_t>(value >> (8 * k)));
      return value;
    }
    uint8_t b = Byte();
    if (b < kNumberCount)
      return kNumbers[b];
    if (b != 0xFF)
      return b - kNumberCount;
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i)
      w |= static_cast<uint32_t>(Byte()) << (8 * i);
    return w;
  }

  // Up to 511 bytes: past the 255 that the program's buffers hold.
  std::string Text(const std::string &value = "") {
    ok_ = ok_ && value.size() < 512;
    size_t n = Byte(static_cast<uint8_t>(value.size()));
    n = (n | static_cast<size_t>(Byte(static_cast<uint8_t>(value.size() >> 8)))
                 << 8) %
        512;
    if (words_) {
      bytes += value;
      return value;
    }
    std::string text(in_, in_ + std::min(n, static_cast<size_t>(end_ - in_)));
    in_ += text.size();
    return text;
  }

  // The fields of a layout, word by word.

  uint32_t Num(uint32_t modulo = 0) {
    uint32_t n = Number(NextNumber());
    ok_ = ok_ && (modulo == 0 || n < modulo);
    n = modulo ? n % modulo : n;
    line += " " + std::to_string(n);
    return n;
  }
  // Signed where the statement takes an int (results, display settings).
  void Int() {
    line += " " + std::to_string(static_cast<int32_t>(Number(NextNumber())));
  }
  std::string Pick(const Table &table) {
    size_t i = 0;
    if (const ScenarioWord *w = Take())
      while (i < table.size() && (w->quoted || w->text != table[i]))
        ++i;
    ok_ = ok_ && i < table.size();
    const std::string &word =
        table[Byte(static_cast<uint8_t>(i)) % table.size()];
    line += " " + word;
    return word;
  }
  void Quoted(size_t max = 511) {
    const ScenarioWord *w = Take();
    ok_ = ok_ && (!w || (w->quoted && w->text.size() <= max));
    line += " " + QuoteScenarioText(Text(w ? w->text : "").substr(0, max));
  }
  // A byte 0xFF and a text of its own, or a name from `table`.
  std::string Named(const Table &table, bool quoted) {
    const ScenarioWord *w = Take();
    ok_ = ok_ && (!w || w->quoted == quoted);
    uint8_t b = Byte(0xFF);
    std::string name =
        b == 0xFF ? Text(w ? w->text : "") : table[b % table.size()];
    line += " " + (quoted ? QuoteScenarioText(name) : name);
    return name;
  }
  // `least` numbers and up to `spread` - 1 more, after their count.
  void Numbers(size_t least, size_t spread) {
    size_t left = words_ ? words_->size() - next_ : 0;
    ok_ = ok_ && left >= least && left < least + spread;
    for (size_t n = least + Byte(static_cast<uint8_t>(left - least)) % spread;
         n > 0; --n)
      Num();
  }
  // A number that is left out when it is 0 (or when the words end).
  void Optional() {
    bool present = Byte(words_ && next_ < words_->size()) & 1;
    if (present)
      Num();
  }
  // A call number of "fail": below 2000, none for 0.
  void CallNumber() {
    bool given = words_ && next_ < words_->size();
    uint32_t n = Number(given ? NextNumber() : 0);
    ok_ = ok_ && (!given || (n != 0 && n < 2000));
    if (n % 2000)
      line += " " + std::to_string(n % 2000);
  }
  // A registry path: read from one of five kinds, written as a text of its
  // own (kind 4).
  void Path() {
    uint8_t kind = Byte(4);
    std::string key = kind & 0x80 ? Text() : kAdapterKeys[Byte(0) % 3];
    std::string adapter = "System\\CurrentControlSet\\Services\\Class\\";
    std::string path = kind % 5 == 0 ? "Display\\Settings"
                       : kind % 5 == 1
                           ? adapter + "DISPLAY\\" + key + "\\Default"
                       : kind % 5 == 3 ? "SOFTWARE\\Kq\\Switch"
                                       : "";
    if (kind % 5 == 4)
      return Quoted();
    if (kind % 5 == 2) {
      std::string bpp = std::to_string(Number()), w = std::to_string(Number());
      path = adapter + "Display\\" + key + "\\MODES\\" + bpp + "\\" + w + "," +
             std::to_string(Number());
    }
    line += " " + QuoteScenarioText(path);
  }
  // A registry value's kind and data.
  void Data() {
    std::string kind = Pick(ScenarioWordSet('k'));
    if (kind == "dword")
      return (void)Num();
    if (kind != "binary")
      return Quoted();
    std::string data;
    while (words_ && next_ < words_->size()) {
      const ScenarioWord *w = Take();
      char *end = nullptr;
      data += static_cast<char>(strtoul(w->text.c_str(), &end, 16));
      ok_ = ok_ && !w->quoted && !w->text.empty() && *end == '\0';
    }
    char hex[4];
    for (unsigned char c : Text(data)) {
      snprintf(hex, sizeof hex, " %02x", c);
      line += hex;
    }
  }
  // The record makes no statement.
  void Drop() { dropped_ = true; }

  // Whether every word was consumed and fit its field.
  bool Fits() const { return ok_ && !dropped_ && next_ == words_->size(); }
  bool Dropped() const { return dropped_; }

private:
  // The next word when writing (when they ran out, a word that fits no
  // field), NULL when reading.
  const ScenarioWord *Take() {
    static const ScenarioWord none{"", true};
    if (!words_)
      return nullptr;
    if (next_ < words_->size())
      return &(*words_)[next_++];
    ok_ = false;
    return &none;
  }
  uint32_t NextNumber() {
    long long value = 0;
    if (const ScenarioWord *w = Take())
      ok_ = ok_ && ParseScenarioNumber(*w, &value);
    return static_cast<uint32_t>(value);
  }

  const uint8_t *in_ = nullptr;
  const uint8_t *end_ = nullptr;
  const ScenarioWords *words_ = nullptr;
  size_t next_ = 1; // the word after the keyword
  bool ok_ = true;
  bool dropped_ = false;
};

void Fields(Codec &c, const char *fields) {
  static const Table functions = SimFunctionNames();
  static const Table resolutions = MenuResolutions();
  for (const char *f = fields; *f; ++f) {
    if (!ScenarioWordSet(*f).empty())
      c.Pick(ScenarioWordSet(*f));
    else if (*f == 'x')
      c.Pick(resolutions);
    else if (*f == 'n' || *f == 'i')
      *f == 'n' ? (void)c.Num() : c.Int();
    else if (*f == 'q' || *f == 'Q')
      c.Quoted(*f == 'q' ? 511 : 127);
    else if (*f == 'o')
      c.Optional();
    else if (*f == 'L' || *f == 'M')
      *f == 'L' ? c.Numbers(0, 24) : c.Numbers(1, 20);
    else if (*f == 'p')
      c.Path();
    else if (*f == 'v')
      c.Named(kValueNames, true);
    else if (*f == 'D')
      c.Data();
    else if (*f == 'S' && c.Num(0x10000) == kFormatStringId)
      c.Drop();
    else if (*f == 'f') {
      std::string function = c.Named(functions, false);
      c.CallNumber();
      if (std::find(functions.begin(), functions.end(), function) ==
          functions.end())
        c.Drop();
    }
  }
}

// The forms of the language of one part, statements or actions, in the
// language's order: a record's first byte picks one (modulo their count).
std::vector<const ScenarioForm *> Forms(bool actions) {
  std::vector<const ScenarioForm *> forms;
  for (const ScenarioForm &form : ScenarioLanguage())
    if (form.action == actions)
      forms.push_back(&form);
  return forms;
}

std::string Read(Codec &in, const ScenarioForm &form) {
  in.line = form.keyword;
  Fields(in, form.args);
  return in.Dropped() ? "" : in.line;
}

// The record that reads back as the line: its form's byte (plus `base`),
// then its fields; false when the record cannot hold the line.
bool Write(const std::vector<const ScenarioForm *> &forms, size_t base,
           const ScenarioLine &line, std::string *records) {
  size_t op = std::find(forms.begin(), forms.end(), line.form) - forms.begin();
  Codec out(&line.words);
  out.Byte(static_cast<uint8_t>(base + op));
  Fields(out, line.form->args);
  *records += out.bytes;
  return out.Fits();
}

} // namespace

std::string RecordsScenario(const uint8_t *data, size_t size) {
  static const std::vector<const ScenarioForm *> statements = Forms(false),
                                                 actions = Forms(true);
  Codec in(data, size);
  std::string text;
  int records = 0;
  // Statements until a 0 record (a statement's byte is 1 more than its
  // form's place); a few hundred records are plenty.
  while (in.More() && records++ < 200) {
    uint8_t op = in.Byte();
    if (op == 0)
      break;
    std::string line = Read(in, *statements[(op - 1) % statements.size()]);
    if (!line.empty())
      text += line + "\n";
  }
  text += "---\n";
  while (in.More() && records++ < 400)
    text += Read(in, *actions[in.Byte() % actions.size()]) + "\n";
  return text;
}

int ScenarioRecords(const std::string &name, const std::string &text,
                    std::string *records) {
  static const std::vector<const ScenarioForm *> statements = Forms(false),
                                                 actions = Forms(true);
  Scenario scenario;
  ScenarioLine bad;
  std::string why = "no record reads back as this line";
  bool read = ReadScenario(text, &scenario, &bad, &why);
  for (const ScenarioLine &line : scenario.statements)
    if (read && !Write(statements, 1, line, records)) {
      read = false;
      bad = line;
    }
  *records += '\0';
  for (const ScenarioLine &line : scenario.actions)
    if (read && !Write(actions, 0, line, records)) {
      read = false;
      bad = line;
    }
  if (!read)
    fprintf(stderr, "%s:%d: %s: %s\n", name.c_str(), bad.number, why.c_str(),
            bad.text.c_str());
  return read ? 0 : 2;
}
