// GDI device contexts and the display driver behind the private escape:
// the driver's state (displays attached and active, CRT mode, refresh
// rates, panel), its request sizes and its results.
#include <cstring>
#include <map>

#include "sim/internal.h"

namespace {

// A device context the program holds.
struct Dc {
  bool screen; // from GetDC (released by ReleaseDC), else from CreateDCA
};

// One driver request: its input and reply sizes in bytes.
struct SubFunction {
  DWORD code;
  int inSize;
  int replySize;
};

// The sub-functions the driver knows, with the only sizes it accepts.
const SubFunction kSubFunctions[] = {
    {0, 4, 6},  {1, 4, 8},  {2, 12, 0},   {7, 4, 4},   {9, 4, 4},
    {10, 8, 0}, {28, 4, 4}, {65, 28, 80}, {66, 24, 0},
};

// Words in the refresh-rate reply.
const int kRateCount = 20;

// Device contexts open now, by handle.
std::map<HDC, Dc> dcs;
// Next handle value to give out.
uintptr_t nextDc;
// The display driver is loaded and answers the escape.
bool driverPresent;
// Bit mask of the displays attached (DisplayCrt 1, DisplayLcd 2).
DWORD attached;
// Bit mask of the displays showing the desktop.
DWORD active;
// The driver's level (sub-function 28).
DWORD level;
// The LCD panel's width in pixels (sub-function 0).
DWORD panelWidth;
// The driver's number of the CRT mode in force (sub-functions 9 and 10).
DWORD modeNumber;
// The refresh-rate list; word 0 is the rate in force (65 and 66).
DWORD rates[kRateCount];
// Results the scenario forces, by sub-function (others answer 1).
std::map<DWORD, int> results;
// Reply words the scenario forces, by sub-function.
std::map<DWORD, std::vector<DWORD>> replies;

const SubFunction *FindSubFunction(DWORD code) {
  for (const auto &sub : kSubFunctions)
    if (sub.code == code)
      return &sub;
  return nullptr;
}

void PutWord(std::vector<BYTE> *bytes, size_t offset, DWORD value) {
  for (int i = 0; i < 4 && offset + i < bytes->size(); ++i)
    (*bytes)[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

// The reply the driver's state gives, before any scenario override.
std::vector<BYTE> StateReply(DWORD code, int size) {
  std::vector<BYTE> bytes(size, 0);
  switch (code) {
  case 0:
    bytes[0] = static_cast<BYTE>(panelWidth);
    bytes[1] = static_cast<BYTE>(panelWidth >> 8);
    break;
  case 1:
    PutWord(&bytes, 0, active);
    break;
  case 7:
    PutWord(&bytes, 0, attached);
    break;
  case 9:
    PutWord(&bytes, 0, modeNumber);
    break;
  case 28:
    PutWord(&bytes, 0, level);
    break;
  case 65:
    for (int i = 0; i < kRateCount; ++i)
      PutWord(&bytes, 4 * i, rates[i]);
    break;
  }
  return bytes;
}

std::vector<BYTE> Reply(DWORD code, int size) {
  auto forced = replies.find(code);
  if (forced == replies.end())
    return StateReply(code, size);
  std::vector<BYTE> bytes(size, 0);
  for (size_t i = 0; i < forced->second.size(); ++i)
    PutWord(&bytes, 4 * i, forced->second[i]);
  return bytes;
}

// Requests that change the driver's state do so only when they succeed.
void ChangeState(const std::vector<DWORD> &words) {
  if (words[0] == 2)
    active = words[1];
  else if (words[0] == 10)
    modeNumber = words[1];
  else if (words[0] == 66)
    rates[0] = words[5];
}

int Request(const std::vector<DWORD> &words, int inSize, int outSize,
            LPSTR out) {
  if (!driverPresent || words.empty())
    return 0;
  const SubFunction *sub = FindSubFunction(words[0]);
  if (!sub || inSize != sub->inSize || outSize != sub->replySize ||
      (outSize > 0 && !out))
    return 0;
  auto forced = results.find(sub->code);
  int result = forced == results.end() ? 1 : forced->second;
  std::vector<BYTE> reply = Reply(sub->code, sub->replySize);
  if (!reply.empty())
    memcpy(out, reply.data(), reply.size());
  if (result == 1)
    ChangeState(words);
  return result;
}

std::vector<DWORD> InputWords(LPCSTR in, int inSize) {
  std::vector<DWORD> words;
  for (int i = 0; in && i + 4 <= inSize; i += 4) {
    DWORD word;
    memcpy(&word, in + i, 4);
    words.push_back(word);
  }
  return words;
}

HDC NewDc(bool screen) {
  HDC dc = reinterpret_cast<HDC>(nextDc);
  nextDc += 0x10;
  dcs[dc] = {screen};
  return dc;
}

bool NumberList(const sim::Words &w, size_t first, std::vector<DWORD> *out) {
  for (size_t i = first; i < w.size(); ++i) {
    long long value;
    if (!sim::ParseNumber(w[i], &value))
      return false;
    out->push_back(static_cast<DWORD>(value));
  }
  return true;
}

bool SetWord(const sim::Words &w, DWORD *field, std::string *error) {
  std::vector<DWORD> values;
  if (w.size() != 2 || !NumberList(w, 1, &values)) {
    *error = "expected: " + w[0].text + " <n>";
    return false;
  }
  *field = values[0];
  return true;
}

} // namespace

namespace sim {

void ResetGdi() {
  dcs.clear();
  nextDc = 0x10000;
  driverPresent = true;
  attached = active = level = panelWidth = modeNumber = 0;
  memset(rates, 0, sizeof rates);
  results.clear();
  replies.clear();
}

bool SetDriver(const Words &w, std::string *error) {
  const std::string &what = w[0].text;
  std::vector<DWORD> values;
  if (what == "driver") {
    if (w.size() == 2 && (w[1].text == "missing" || w[1].text == "present")) {
      driverPresent = w[1].text == "present";
      return true;
    }
    *error = "expected: driver missing|present";
  } else if (what == "result") {
    if (w.size() == 3 && NumberList(w, 1, &values)) {
      results[values[0]] = static_cast<int>(values[1]);
      return true;
    }
    *error = "expected: result <subfunction> <int>";
  } else if (what == "reply") {
    if (w.size() >= 2 && NumberList(w, 1, &values)) {
      replies[values[0]].assign(values.begin() + 1, values.end());
      return true;
    }
    *error = "expected: reply <subfunction> <word>...";
  } else if (what == "rates") {
    if (w.size() >= 2 && w.size() <= 1 + kRateCount &&
        NumberList(w, 1, &values)) {
      memset(rates, 0, sizeof rates);
      std::copy(values.begin(), values.end(), rates);
      return true;
    }
    *error = "expected: rates <w0> ... (at most 20)";
  } else {
    DWORD *field = what == "attached" ? &attached
                   : what == "active" ? &active
                   : what == "level"  ? &level
                   : what == "panel"  ? &panelWidth
                                      : &modeNumber;
    return SetWord(w, field, error);
  }
  return false;
}

bool ValidDc(HDC dc) { return dcs.count(dc) != 0; }

int DcOpenCount() { return static_cast<int>(dcs.size()); }

SimDriverState DriverState() {
  return {attached, active, modeNumber, rates[0]};
}

} // namespace sim

HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR output,
                     const DEVMODEA *init) {
  (void)device;
  (void)output;
  (void)init;
  if (sim::Enter("CreateDCA"))
    return nullptr;
  if (!driver || !sim::SameName(driver, "DISPLAY"))
    return nullptr;
  return NewDc(false);
}

BOOL WINAPI DeleteDC(HDC dc) {
  if (sim::Enter("DeleteDC"))
    return FALSE;
  auto found = dcs.find(dc);
  if (found == dcs.end() || found->second.screen)
    return FALSE;
  dcs.erase(found);
  return TRUE;
}

HDC WINAPI GetDC(HWND window) {
  if (sim::Enter("GetDC"))
    return nullptr;
  if (window && !sim::WindowExists(window))
    return nullptr;
  return NewDc(true);
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
  (void)window;
  if (sim::Enter("ReleaseDC"))
    return 0;
  auto found = dcs.find(dc);
  if (found == dcs.end() || !found->second.screen)
    return 0;
  dcs.erase(found);
  return 1;
}

// Any display DC reaches the display driver; the driver answers only its
// own escape number and ignores the others.
int WINAPI ExtEscape(HDC dc, int escape, int inSize, LPCSTR in, int outSize,
                     LPSTR out) {
  if (sim::Enter("ExtEscape"))
    return 0;
  if (!sim::ValidDc(dc) || escape != 0x3000 || inSize < 0 || outSize < 0)
    return 0;
  std::vector<DWORD> words = InputWords(in, inSize);
  int result = Request(words, inSize, outSize, out);
  std::string line = "escape";
  for (DWORD word : words)
    line += sim::Format(" %u", word);
  sim::Emit(line + sim::Format(" -> %d", result));
  return result;
}

SimDriverState SimDriver() { return sim::DriverState(); }
