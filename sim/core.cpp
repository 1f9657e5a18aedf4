// The simulation's backbone: the transcript, call counting and the fault
// table, text conversion between code page 950 and UTF-8, and the reset and
// accounting entry points of sim/sim.h.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <map>
#include <set>

#include "sim/internal.h"

namespace {

// One function's injected failures.
struct Fault {
  bool every = false; // every call fails
  std::set<int> nth;  // these call numbers (1-based) fail
};

// Transcript lines not yet taken by SimTakeTranscript.
std::string pending;
// Where lines are echoed as they are produced, or NULL.
FILE *echo = nullptr;
// Calls per function since reset, in first-call order.
std::vector<std::pair<std::string, int>> calls;
// Injected failures by function name.
std::map<std::string, Fault> faults;
// Calls the fault table made fail, by function name.
std::map<std::string, int> failed;

// Every simulated Win32 function, as SimFailCall accepts them, in the order
// the fuzzer numbers them: the rows of sim/calls.def that sim/ offers.  Each
// row's address is taken, so a row whose function sim/win32.h does not
// declare fails to compile, and one that no file of sim/ defines to link.
struct Simulated {
  const char *name;
  void (*address)();
};
#define CALL(dll, function, where, held, why) CALL_##where(function)
#define CALL_EXE_SIM(function)                                                 \
  {#function, reinterpret_cast<void (*)()>(&function)},
#define CALL_SIM CALL_EXE_SIM
#define CALL_EXE(function)
#define CALL_ENTRY(function)
const Simulated kFunctions[] = {
#include "sim/calls.def"
};

bool KnownFunction(const std::string &name) {
  for (const Simulated &function : kFunctions)
    if (name == function.name)
      return true;
  return false;
}

// Runs `in` through iconv from `from` to `to`; a byte sequence that does not
// convert is handed to `fallback`, which appends its replacement and
// returns how many input bytes it consumed.
template <typename Fallback>
std::string Convert(const char *to, const char *from, const std::string &in,
                    Fallback fallback) {
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1)
    return in;
  std::string out;
  size_t pos = 0;
  while (pos < in.size()) {
    char buffer[256];
    char *src = const_cast<char *>(in.data()) + pos;
    size_t srcLeft = in.size() - pos;
    char *dst = buffer;
    size_t dstLeft = sizeof buffer;
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    pos = in.size() - srcLeft;
    if (rc == (size_t)-1 && errno != E2BIG) {
      pos += fallback(in, pos, &out);
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

} // namespace

namespace sim {

bool Enter(const char *function) {
  int count = 0;
  for (auto &entry : calls)
    if (entry.first == function)
      count = ++entry.second;
  if (count == 0) {
    calls.emplace_back(function, 1);
    count = 1;
  }
  auto fault = faults.find(function);
  if (fault == faults.end())
    return false;
  bool fails = fault->second.every || fault->second.nth.count(count) != 0;
  failed[function] += fails;
  return fails;
}

void Emit(const std::string &line) {
  pending += line;
  pending += '\n';
  if (echo) {
    fputs(line.c_str(), echo);
    fputc('\n', echo);
    fflush(echo);
  }
}

std::string Format(const char *format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string Str(const char *text) { return text ? text : ""; }

std::string QuoteAnsi(const std::string &ansi) {
  return QuoteScenarioText(SimAnsiToUtf8(ansi));
}

bool SameName(const std::string &a, const std::string &b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return tolower(static_cast<unsigned char>(x)) ==
                  tolower(static_cast<unsigned char>(y));
         });
}

void ResetCore() {
  pending.clear();
  calls.clear();
  faults.clear();
  failed.clear();
}

} // namespace sim

void SimReset() {
  using namespace sim;
  for (void (*reset)() :
       {ResetCore, ResetKernel, ResetGdi, ResetDisplay, ResetSwitch,
        ResetRegistry, ResetUser, ResetMenus, ResetResources, ResetShell})
    reset();
}

std::string SimTakeTranscript() {
  std::string taken;
  taken.swap(pending);
  return taken;
}

void SimEmit(const std::string &line) { sim::Emit(line); }

void SimSetEcho(FILE *out) { echo = out; }

bool SimFailCall(const std::string &function, int nth) {
  if (!KnownFunction(function) || nth < 0)
    return false;
  Fault &fault = faults[function];
  if (nth == 0)
    fault.every = true;
  else
    fault.nth.insert(nth);
  return true;
}

int SimCallCount(const std::string &function) {
  for (const auto &entry : calls)
    if (entry.first == function)
      return entry.second;
  return 0;
}

std::vector<std::pair<std::string, int>> SimCallCounts() { return calls; }

int SimFailedCount(const std::string &function) {
  auto entry = failed.find(function);
  return entry == failed.end() ? 0 : entry->second;
}

std::vector<std::string> SimFunctionNames() {
  std::vector<std::string> names;
  for (const Simulated &function : kFunctions)
    names.emplace_back(function.name);
  return names;
}

SimOpenCounts SimOpen() {
  return {sim::DcOpenCount(), sim::KeyOpenCount(), sim::DeviceOpenCount(),
          sim::MenuOpenCount()};
}

std::string SimOpenLine() {
  SimOpenCounts open = SimOpen();
  return sim::Format("open dc=%d key=%d device=%d menu=%d", open.dc, open.key,
                     open.device, open.menu);
}

// Bytes that are not code page 950 pass through unchanged, so the quoting
// below shows them as \xNN instead of losing them.
std::string SimAnsiToUtf8(const std::string &ansi) {
  return Convert("UTF-8", "CP950", ansi,
                 [](const std::string &in, size_t pos, std::string *out) {
                   *out += in[pos];
                   return size_t(1);
                 });
}

// A character code page 950 lacks becomes '?', as WideCharToMultiByte's
// default character.
std::string SimUtf8ToAnsi(const std::string &utf8) {
  return Convert("CP950", "UTF-8", utf8,
                 [](const std::string &in, size_t pos, std::string *out) {
                   *out += '?';
                   size_t n = Utf8Length(in, pos);
                   return n ? n : size_t(1);
                 });
}
