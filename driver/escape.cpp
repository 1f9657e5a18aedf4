// The display driver's requests.  Records are little-endian 32-bit words
// with the sub-function code first; 16-bit values travel zero-extended and
// come back in the low half of a reply word.
#include "driver/driver.h"

DWORD CrtActive; // CRT attached and active
DWORD CrtIdle;   // CRT attached but not active
DWORD LcdActive; // LCD attached and active

//                                        ModeCode Switch NT  width height
const CrtResolution CrtResolutions[4] = {{5, 6, 1, 640, 480},
                                         {6, 10, 2, 800, 600},
                                         {8, 13, 3, 1024, 768},
                                         {10, 15, 4, 1280, 1024}};

namespace {

enum : DWORD {
  SubGetPanelSize = 0,
  SubGetActiveDisplays = 1,
  SubSetActiveDisplays = 2,
  SubGetAttachedDisplays = 7,
  SubGetModeNumber = 9,
  SubSetModeNumber = 10,
  SubGetDriverLevel = 28,
  SubGetRefreshRates = 65,
  SubSetRefreshRates = 66,
};

// The driver speaks for itself only with exactly 1; 0, negative results and
// any other positive value are failures.
BOOL Succeeded(int result) { return result == 1; }

// Sends a request made of the sub-function code alone and receives a reply
// of `replySize` bytes.
BOOL Query(DWORD code, int replySize, void *reply) {
  return Succeeded(SendDisplayControl(sizeof code, &code, replySize, reply));
}

// Sends the code and one or two 16-bit values, each zero-extended.
BOOL Command(DWORD code, int words, DWORD first, DWORD second) {
  DWORD input[3] = {code, first & 0xFFFF, second & 0xFFFF};
  return Succeeded(SendDisplayControl(
      static_cast<int>((1 + words) * sizeof(DWORD)), input, 0, NULL));
}

// Queries a 16-bit value carried in the low half of reply word 0.
BOOL QueryWord(DWORD code, WORD *value) {
  DWORD reply = 0;
  if (!Query(code, sizeof reply, &reply))
    return FALSE;
  *value = static_cast<WORD>(reply & 0xFFFF);
  return TRUE;
}

} // namespace

BOOL GetPanelSize(BYTE reply[6]) { return Query(SubGetPanelSize, 6, reply); }

BOOL GetActiveDisplays(WORD *mask) {
  DWORD reply[2] = {0, 0};
  if (!Query(SubGetActiveDisplays, sizeof reply, reply))
    return FALSE;
  *mask = static_cast<WORD>(reply[0] & 0xFFFF);
  return TRUE;
}

BOOL SetActiveDisplays(DWORD mask, DWORD second) {
  return Command(SubSetActiveDisplays, 2, mask, second);
}

BOOL GetAttachedDisplays(WORD *mask) {
  return QueryWord(SubGetAttachedDisplays, mask);
}

BOOL GetModeNumber(WORD *number) { return QueryWord(SubGetModeNumber, number); }

BOOL SetModeNumber(DWORD number) {
  return Command(SubSetModeNumber, 1, number, 0);
}

BOOL GetDriverLevel(DWORD *level) {
  DWORD reply = 0;
  if (!Query(SubGetDriverLevel, sizeof reply, &reply))
    return FALSE;
  *level = reply;
  return TRUE;
}

BOOL GetRefreshRates(DWORD selector, const DriverMode *mode, DWORD *refresh,
                     DWORD rates[20]) {
  struct {
    DWORD code;
    DWORD selector;
    DriverMode mode;
  } input = {SubGetRefreshRates, selector, *mode};
  static_assert(sizeof input == 28, "request 65 is 28 bytes");
  DWORD reply[20] = {};
  if (!Succeeded(
          SendDisplayControl(sizeof input, &input, sizeof reply, reply))) {
    rates[0] = 0;
    return FALSE;
  }
  *refresh = reply[0];
  // Word 0 is the rate in force; the list proper is words 1-19, ended by
  // the first 0.
  DWORD n = 0;
  for (DWORD i = 1; i < 20 && reply[i] != 0; ++i)
    rates[n++] = reply[i];
  rates[n] = 0;
  return TRUE;
}

BOOL SetRefreshRates(const DriverMode *mode) {
  struct {
    DWORD code;
    DriverMode mode;
  } input = {SubSetRefreshRates, *mode};
  static_assert(sizeof input == 24, "request 66 is 24 bytes");
  return Succeeded(SendDisplayControl(sizeof input, &input, 0, NULL));
}

void RefreshDisplayState(void) {
  // A mask the driver did not deliver counts as no device at all.  Without
  // the active mask an attached CRT would look idle, and applying a choice
  // would then switch the displays on a guess: nothing counts as attached.
  WORD attached = 0;
  WORD active = 0;
  GetAttachedDisplays(&attached);
  if (!GetActiveDisplays(&active))
    attached = 0;
  LcdActive = (attached & DisplayLcd) && (active & DisplayLcd) ? 1 : 0;
  CrtActive = (attached & DisplayCrt) && (active & DisplayCrt) ? 1 : 0;
  CrtIdle = (attached & DisplayCrt) && !(active & DisplayCrt) ? 1 : 0;
}
