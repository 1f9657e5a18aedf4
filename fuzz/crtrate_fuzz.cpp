// libFuzzer target: the whole program on a random notebook.
//
// Each input is read front to back as a little program of records: first
// the notebook's statements (the Windows version, the switch device and
// its texts, the display driver's state, results and raw reply words, the
// desktop and the display settings' answers, registry keys and values of
// any length and content, locked keys, failing calls), then after a 0
// record the user's actions (clicks of every kind, menu choices and box
// answers, commands, direct applies and menu listings, destroy, close,
// quit, an Explorer restart).  The records become a scenario's text, which
// the scenario runner plays in-process exactly as crtrate-sim plays a file
// (tools/crtrate_sim.h), with the simulation and the program's globals
// reset before each input.  fuzz/seeds.py writes the same records from
// scenarios/*.scn for the seed corpus.
//
// Whatever the notebook answers, the run must end with "exit 0", nothing
// left open and the tray icon gone, and no menu listing may check more
// than one entry; a break of these, and every sanitizer report, stops the
// fuzzer with the input saved.  Failing calls that make one of these
// unavoidable (a release call that fails keeps its handle) relax just
// the invariant concerned.
//
// CRTRATE_FUZZ_SCENARIO=FILE writes each input's scenario text to FILE, so
// that a saved input can be played again with crtrate-sim.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "tools/crtrate_sim.h"

namespace {


// Interesting values, picked by a byte below the table's size.  A byte
// from there up to 0xFE is a small number of its own (byte - size); 0xFF
// is followed by four raw bytes.
const uint32_t kNumbers[] = {0,    1,    2,    3,    4,          5,
                             6,    7,    8,    9,    10,         13,
                             15,   16,   24,   28,   32,         60,
                             65,   66,   70,   72,   75,         85,
                             100,  480,  600,  640,  768,        800,
                             1024, 1200, 1280, 9000, 9013,       9014,
                             1225, 255,  256,  4096, 0x7FFFFFFF, 0x80000000,
                             0xFFFFFFFF};
const uint32_t kNumberCount = sizeof kNumbers / sizeof kNumbers[0];

const char *const kReleases[] = {"win95", "win95a", "win95b", "win95c",
                                 "win98", "nt4",    "winme",  "win2k"};
const char *const kClicks[] = {"left",        "right",  "double",
                               "rightdouble", "leftup", "rightup"};
const char *const kSwitches[] = {"none", "first", "second"};
const char *const kRoots[] = {"HKCC", "HKLM"};
const char *const kValueNames[] = {"CRTResolution", "RefreshRate",
                                   "Pairlux_SameImage", "ShowAllModes"};
const char *const kAdapterKeys[] = {"0000", "0001", ""};
const char *const kDataKinds[] = {"sz", "sz-bare", "binary", "dword"};

// The string the driver-missing box formats: a text of the program's own,
// never the machine's, so it is not varied.
const unsigned kFormatStringId = 106;

template <size_t N> const char *Pick(const char *const (&table)[N], uint8_t b) {
  return table[b % N];
}

class Reader {
public:
  Reader(const uint8_t *data, size_t size) : fdp_(data, size) {}

  bool More() { return fdp_.remaining_bytes() > 0; }

  uint8_t Byte() {
    std::vector<uint8_t> b = fdp_.ConsumeBytes<uint8_t>(1);
    return b.empty() ? 0 : b[0];
  }

  uint32_t Word() {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i)
      w |= static_cast<uint32_t>(Byte()) << (8 * i);
    return w;
  }

  uint32_t Number() {
    uint8_t b = Byte();
    if (b < kNumberCount)
      return kNumbers[b];
    if (b == 0xFF)
      return Word();
    return b - kNumberCount;
  }

  // Up to 511 bytes: past the 255 that the program's buffers hold.
  std::string Text() {
    size_t n = (Byte() | (Byte() << 8)) % 512;
    return fdp_.ConsumeBytesAsString(n);
  }

private:
  FuzzedDataProvider fdp_;
};

std::string Quote(const std::string &bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    char hex[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out + "\"";
}

std::string Num(uint32_t n) { return std::to_string(n); }
// Signed where the statement takes an int (results, display settings).
std::string Int(uint32_t n) { return std::to_string(static_cast<int32_t>(n)); }

std::string Path(Reader &in) {
  uint8_t kind = in.Byte();
  std::string key = kind & 0x80 ? in.Text() : Pick(kAdapterKeys, in.Byte());
  switch (kind % 5) {
  case 0:
    return "Display\\Settings";
  case 1:
    return "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\" + key +
           "\\Default";
  case 2: {
    std::string bpp = Num(in.Number()), w = Num(in.Number());
    return "System\\CurrentControlSet\\Services\\Class\\Display\\" + key +
           "\\MODES\\" + bpp + "\\" + w + "," + Num(in.Number());
  }
  case 3:
    return "SOFTWARE\\Kq\\Switch";
  default:
    return in.Text();
  }
}

std::string Name(Reader &in) {
  uint8_t b = in.Byte();
  return b == 0xFF ? in.Text() : Pick(kValueNames, b);
}

// One statement of the notebook, or "" when the record makes none.
std::string Statement(Reader &in, uint8_t op, std::set<std::string> *faults) {
  static const std::vector<std::string> functions = SimFunctionNames();
  switch (op % 26) {
  case 1:
    return std::string("os ") + Pick(kReleases, in.Byte());
  case 2: {
    // One read per statement: the order of reads is the record's layout.
    std::string s = "os " + Num(in.Number());
    s += " " + Num(in.Number());
    s += " " + Num(in.Number());
    s += " " + Quote(in.Text().substr(0, 127));
    return in.Byte() & 1 ? s + " " + Num(in.Number()) : s;
  }
  case 3:
    return std::string("switch ") + Pick(kSwitches, in.Byte());
  case 4:
    return "switch-fail " + Num(in.Number());
  case 5:
    return "switch-text " + Quote(in.Text());
  case 6:
    return "switch-ref " + Num(in.Number());
  case 7:
    return in.Byte() & 1 ? "driver present" : "driver missing";
  case 8: {
    std::string sub = Num(in.Number());
    return "result " + sub + " " + Int(in.Number());
  }
  case 9: {
    std::string s = "reply " + Num(in.Number());
    for (int n = in.Byte() % 24; n > 0; --n)
      s += " " + Num(in.Number());
    return s;
  }
  case 10:
    return "attached " + Num(in.Number());
  case 11:
    return "active " + Num(in.Number());
  case 12:
    return "level " + Num(in.Number());
  case 13:
    return "panel " + Num(in.Number());
  case 14:
    return "mode " + Num(in.Number());
  case 15: {
    std::string s = "rates";
    for (int n = 1 + in.Byte() % 20; n > 0; --n)
      s += " " + Num(in.Number());
    return s;
  }
  case 16:
  case 17: {
    std::string s = op % 26 == 16 ? "desktop" : "modes";
    for (int i = 0; i < 4; ++i)
      s += " " + Int(in.Number());
    return s;
  }
  case 18:
    return "cds-result " + Int(in.Number());
  case 19:
  case 20: {
    std::string root = Pick(kRoots, in.Byte());
    return (op % 26 == 19 ? "key " : "locked ") + root + " " +
           Quote(Path(in));
  }
  case 21: {
    std::string root = Pick(kRoots, in.Byte());
    std::string path = Path(in);
    std::string name = Name(in);
    std::string s =
        "value " + root + " " + Quote(path) + " " + Quote(name) + " ";
    std::string kind = Pick(kDataKinds, in.Byte());
    if (kind == "dword")
      return s + "dword " + Num(in.Number());
    if (kind != "binary")
      return s + kind + " " + Quote(in.Text());
    s += "binary";
    char hex[4];
    for (unsigned char c : in.Text()) {
      snprintf(hex, sizeof hex, " %02x", c);
      s += hex;
    }
    return s;
  }
  case 22: {
    uint8_t b = in.Byte();
    std::string function =
        b == 0xFF ? in.Text() : functions[b % functions.size()];
    uint32_t nth = in.Number() % 2000;
    bool known = false;
    for (const std::string &f : functions)
      known = known || f == function;
    if (!known)
      return "";
    faults->insert(function);
    return "fail " + function + (nth ? " " + Num(nth) : "");
  }
  case 23:
    return "running";
  case 24: {
    std::string x = Int(in.Number());
    return "cursor " + x + " " + Int(in.Number());
  }
  case 25: {
    uint32_t id = in.Number() % 0x10000;
    std::string text = in.Text();
    return id == kFormatStringId ? ""
                                 : "string " + Num(id) + " " + Quote(text);
  }
  }
  return "";
}

std::string Action(Reader &in, uint8_t op) {
  switch (op % 12) {
  case 0:
    return std::string("click ") + Pick(kClicks, in.Byte());
  case 1: {
    std::string w = Int(in.Number());
    return "callback " + w + " " + Int(in.Number());
  }
  case 2:
    return "command " + Num(in.Number());
  case 3:
    return "destroy";
  case 4:
    return "close";
  case 5:
    return "quit";
  case 6:
    return "taskbar-created";
  case 7:
    return "choose " + Num(in.Number());
  case 8:
    return in.Byte() & 1 ? "answer cancel" : "answer ok";
  case 9: {
    std::string mode = Int(in.Number());
    return "apply " + mode + " " + Int(in.Number());
  }
  case 10: {
    std::string code = Num(in.Number());
    return "menu " + code + " " + Num(in.Number());
  }
  default: {
    std::string s = "menu";
    for (int i = 0; i < 5; ++i)
      s += " " + Num(in.Number());
    return s;
  }
  }
}

std::string ScenarioOf(const uint8_t *data, size_t size,
                       std::set<std::string> *faults) {
  Reader in(data, size);
  std::string text;
  int records = 0;
  // Statements until a 0 record; a few hundred records are plenty.
  while (in.More() && records++ < 200) {
    uint8_t op = in.Byte();
    if (op == 0)
      break;
    std::string line = Statement(in, op, faults);
    if (!line.empty())
      text += line + "\n";
  }
  text += "---\n";
  while (in.More() && records++ < 400)
    text += Action(in, in.Byte()) + "\n";
  return text;
}

bool StartsWith(const std::string &line, const char *prefix) {
  return line.compare(0, strlen(prefix), prefix) == 0;
}

[[noreturn]] void Broken(const std::string &why, const std::string &scenario,
                         const std::string &transcript) {
  fprintf(stderr, "crtrate_fuzz: %s\n--- scenario\n%s--- transcript\n%s",
          why.c_str(), scenario.c_str(), transcript.c_str());
  abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::set<std::string> faults;
  std::string scenario = ScenarioOf(data, size, &faults);
  if (const char *out = getenv("CRTRATE_FUZZ_SCENARIO")) {
    if (FILE *f = fopen(out, "w")) {
      fputs(scenario.c_str(), f);
      fclose(f);
    }
  }
  int status = RunScenarioText("fuzz input", scenario, nullptr);
  std::string transcript = SimTakeTranscript();
  if (status != 0)
    Broken("the runner refused the generated scenario", scenario, transcript);

  auto failing = [&](const char *function) {
    return faults.count(function) != 0;
  };
  std::vector<std::string> lines;
  for (size_t start = 0; start < transcript.size();) {
    size_t end = transcript.find('\n', start);
    lines.push_back(transcript.substr(start, end - start));
    start = end + 1;
  }
  if (lines.size() < 2 || lines[lines.size() - 2] != "exit 0")
    Broken("the program did not end with exit 0", scenario, transcript);

  // A release call that fails keeps the handle it was given; a window
  // that would not go, or that the system calls gone, keeps its menu.
  SimOpenCounts open = SimOpen();
  bool keepsWindow = failing("DestroyWindow") || failing("IsWindow");
  if ((open.dc && !failing("DeleteDC") && !failing("ReleaseDC")) ||
      (open.key && !failing("RegCloseKey")) ||
      (open.device && !failing("CloseHandle")) ||
      (open.menu && !failing("DestroyMenu") && !keepsWindow))
    Broken("left open: " + SimOpenLine(), scenario, transcript);
  if (SimTrayIconCount() != 0 && !failing("Shell_NotifyIconA") &&
      !keepsWindow)
    Broken("the tray icon outlived the program", scenario, transcript);

  // A failed CheckMenuItem may leave the last opening's mark standing.
  if (!failing("CheckMenuItem")) {
    int marks = 0;
    for (const std::string &line : lines) {
      if (!StartsWith(line, "menu ")) {
        marks = 0;
        continue;
      }
      if (line.size() > 8 && line.compare(line.size() - 8, 8, " checked") == 0
          && ++marks > 1)
        Broken("a listing checks two entries", scenario, transcript);
    }
  }
  return 0;
}
