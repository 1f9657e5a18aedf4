// The display-switch helper device: which of its two names opens, the
// control codes it answers and the texts it returns.
#include <cstring>
#include <map>
#include <set>

#include "sim/internal.h"

namespace {

// Which device name opens.
enum class Installed { None, First, Second };

// The names the two generations of the device open by.
const char kFirstName[] = "\\\\.\\KqSWITCH.VXD";
const char kSecondName[] = "\\\\.\\Kq_M1.VXD";
// Control code 4's text.
const char kVendorText[] = "Kq Switch 1.0";
// The version word control code 1 answers.
const DWORD kVersion = 0x0100;
// The size of the text replies (codes 3 and 4).
const int kTextSize = 255;

// The device generation installed.
Installed installed;
// Control codes made to fail.
std::set<DWORD> failingCodes;
// Code 3's text, in code page 950.
std::string switchText;
// The device reference code 2 reports and codes 3 and 4 expect.
DWORD reference;
// Device handles open now, with the path they were opened by.
sim::Handles<HANDLE, std::string> handles;

bool Opens(const std::string &path) {
  if (installed == Installed::First)
    return sim::SameName(path, kFirstName);
  if (installed == Installed::Second)
    return sim::SameName(path, kSecondName);
  return false;
}

// Copies `text` into a 255-byte reply, terminated only when it fits.
void PutText(const std::string &text, BYTE *out) {
  size_t n = std::min(text.size(), size_t(kTextSize));
  memset(out, 0, kTextSize);
  memcpy(out, text.data(), n);
}

bool ReferenceMatches(const void *in) {
  DWORD given;
  memcpy(&given, in, 4);
  return given == reference;
}

// Answers one control code; false when the request is refused.
bool Control(DWORD code, const void *in, DWORD inSize, void *out,
             DWORD outSize) {
  if (failingCodes.count(code))
    return false;
  BYTE *bytes = static_cast<BYTE *>(out);
  switch (code) {
  case 1:
    if (inSize != 0 || outSize != 4 || !out)
      return false;
    memcpy(bytes, &kVersion, 4);
    return true;
  case 2:
    if (inSize != 0 || outSize != 52 || !out)
      return false;
    memset(bytes, 0, 52);
    memcpy(bytes + 4, &reference, 4);
    return true;
  case 3:
  case 4:
    if (inSize != 4 || !in || outSize != kTextSize || !out ||
        !ReferenceMatches(in))
      return false;
    PutText(code == 3 ? switchText : kVendorText, bytes);
    return true;
  }
  return false;
}

std::string WordsText(const void *in, DWORD inSize) {
  std::string text;
  for (DWORD i = 0; in && i + 4 <= inSize; i += 4) {
    DWORD word;
    memcpy(&word, static_cast<const BYTE *>(in) + i, 4);
    text += sim::Format(" %u", word);
  }
  return text;
}

} // namespace

namespace sim {

void ResetSwitch() {
  installed = Installed::None;
  failingCodes.clear();
  switchText.clear();
  reference = 0x00004000;
  handles.Reset(0x30000);
}

bool SetSwitch(const Words &w) {
  const std::string &what = w[0].text;
  if (what == "switch")
    installed = w[1].text == "none"    ? Installed::None
                : w[1].text == "first" ? Installed::First
                                       : Installed::Second;
  else if (what == "switch-text")
    switchText = SimUtf8ToAnsi(w[1].text);
  else if (what == "switch-ref")
    reference = static_cast<DWORD>(ScenarioNumber(w[1]));
  else if (what == "switch-fail")
    for (size_t i = 1; i < w.size(); ++i)
      failingCodes.insert(static_cast<DWORD>(ScenarioNumber(w[i])));
  else
    return false;
  return true;
}

int DeviceOpenCount() { return handles.Count(); }

} // namespace sim

// Windows 95 and 98 open a dynamically loaded VxD as "\\.\NAME.VXD".
// The creation disposition means nothing to the VxD loader: the Windows 95
// SDK's "Opening the VxD" passes 0, Knowledge Base Q141146 passes
// CREATE_NEW and calls it unnecessary, and OPEN_EXISTING is the one
// CreateFile's documentation gives for devices; all are taken here.
// Windows NT has no VxDs: there the name opens nothing.
HANDLE WINAPI CreateFileA(LPCSTR name, DWORD /*access*/, DWORD /*share*/,
                          LPSECURITY_ATTRIBUTES /*security*/,
                          DWORD /*disposition*/, DWORD /*flags*/,
                          HANDLE /*templateFile*/) {
  SIM_ENTER(INVALID_HANDLE_VALUE);
  std::string path = sim::Str(name);
  bool ok =
      name && sim::OsPlatform() == VER_PLATFORM_WIN32_WINDOWS && Opens(path);
  sim::Emit("device open " + sim::QuoteAnsi(path) +
            (ok ? " -> ok" : " -> fail"));
  if (!ok)
    return INVALID_HANDLE_VALUE;
  return handles.Add(path);
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize,
                            LPVOID out, DWORD outSize, LPDWORD returned,
                            LPOVERLAPPED /*overlapped*/) {
  SIM_ENTER(FALSE);
  bool ok =
      handles.count(device) != 0 && Control(code, in, inSize, out, outSize);
  sim::Emit(sim::Format("device ioctl %u", code) + WordsText(in, inSize) +
            (ok ? " -> ok" : " -> fail"));
  if (ok && returned)
    *returned = outSize;
  return ok ? TRUE : FALSE;
}

bool sim::CloseDevice(HANDLE handle) {
  if (!handles.erase(handle))
    return false;
  sim::Emit("device close");
  return true;
}
