// The program's resources and the boxes it shows: the string table served
// in code page 950, the two tray icons, the arrow cursor and MessageBoxA,
// which stays open until the scenario answers it.
#include <algorithm>
#include <cstring>
#include <map>

#include "sim/internal.h"

namespace {

// The arrow cursor LoadCursorA hands out.
const HCURSOR kArrow = reinterpret_cast<HCURSOR>(0x7F00);

// The program file's string table and icon groups (SimLoadProgramResources);
// kept across resets.
std::vector<SimStringResource> programStrings;
std::vector<UINT> programIcons;
// The string table now: the program file's texts and the scenario's, UTF-8.
std::map<UINT, std::string> strings;
// Icons loaded and not destroyed, with their resource id.
sim::Handles<HICON, int> icons;

bool OwnModule(HINSTANCE instance) { return instance == SimInstance(); }

// Code page 950's lead bytes, each the first of a two-byte character.
bool LeadByte(char c) {
  return static_cast<unsigned char>(c) >= 0x81 &&
         static_cast<unsigned char>(c) <= 0xFE;
}

// Puts the string table back to the program file's texts.
void LoadStrings() {
  strings.clear();
  for (const SimStringResource &entry : programStrings)
    strings[entry.id] = entry.text;
}

} // namespace

namespace sim {

void ResetResources() {
  LoadStrings();
  icons.Reset(0x60000);
}

bool SetResources(const Words &w) {
  if (w[0].text != "string")
    return false;
  strings[static_cast<UINT>(ScenarioNumber(w[1]))] = w[2].text;
  return true;
}

int IconIdOf(HICON icon) {
  auto found = icons.find(icon);
  return found == icons.end() ? 0 : found->second;
}

} // namespace sim

HINSTANCE SimInstance() { return reinterpret_cast<HINSTANCE>(0x00400000); }

void SimLoadProgramResources(const std::vector<SimStringResource> &table,
                             const std::vector<UINT> &iconIds) {
  programStrings = table;
  programIcons = iconIds;
  LoadStrings();
}

// A NULL instance means the program's own module, as with FindResource.
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
  SIM_ENTER(0);
  if ((instance && !OwnModule(instance)) || !buffer || size <= 0)
    return 0;
  auto found = strings.find(id); // an unknown string reads as ""
  std::string ansi = found == strings.end() ? "" : SimUtf8ToAnsi(found->second);
  // The text is converted from the Unicode resource into `size` - 1 bytes;
  // a two-byte character that does not fit whole is left out.
  size_t n = 0;
  for (size_t next; n < ansi.size(); n = next) {
    next = std::min(ansi.size(), n + (LeadByte(ansi[n]) ? 2 : 1));
    if (next > static_cast<size_t>(size - 1))
      break;
  }
  memcpy(buffer, ansi.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

HANDLE WINAPI LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int /*cx*/,
                         int /*cy*/, UINT /*flags*/) {
  SIM_ENTER(nullptr);
  ULONG_PTR id = reinterpret_cast<ULONG_PTR>(name);
  if (!OwnModule(instance) || type != IMAGE_ICON ||
      std::find(programIcons.begin(), programIcons.end(), id) ==
          programIcons.end())
    return nullptr;
  return icons.Add(static_cast<int>(id));
}

BOOL WINAPI DestroyIcon(HICON icon) {
  SIM_ENTER(FALSE);
  return icons.erase(icon) ? TRUE : FALSE;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  SIM_ENTER(nullptr);
  return !instance && name == IDC_ARROW ? kArrow : nullptr;
}

// The box shows at once and runs its own loop until the user answers it;
// a box with only OK answers IDOK to Escape as well (MessageBox in the
// Windows API reference).  A WM_QUIT ends the box too, and it then answers
// as if its default button had been pressed: IDOK for the boxes here (Wine's
// DIALOG_DoDialogBox in dlls/user32/dialog.c returns the dialog's idResult,
// which DIALOG_get_info in defdlg.c starts at IDOK).  A NULL caption shows
// as "Error", as USER32 does.
//
// The box is a window of the thread's, of the dialog class, and comes to
// the front as it opens.
int WINAPI MessageBoxA(HWND /*owner*/, LPCSTR text, LPCSTR caption, UINT type) {
  SIM_ENTER(0);
  std::string title = caption ? caption : "Error";
  sim::Emit(sim::Format("box %u ", type) + sim::QuoteAnsi(title) + " " +
            sim::QuoteAnsi(sim::Str(text)));
  HWND box = sim::OpenBoxWindow(title);
  long button = IDOK;
  if (!sim::RunModalLoop(
          sim::Modal::Box, [] { return true; }, &button) ||
      (type & MB_TYPEMASK) == MB_OK)
    button = IDOK;
  sim::CloseBoxWindow(box);
  sim::Emit(sim::Format("box -> %ld", button));
  return static_cast<int>(button);
}
