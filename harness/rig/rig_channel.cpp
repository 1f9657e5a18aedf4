// The display-control channel of crtrate-simhw.exe: the real program with
// its driver requests answered by the simulated display driver instead of
// a display DC, so it can run under Wine (whose display driver knows no
// escape 0x3000) on the notebook a scenario file describes.
//
//   CRTRATE_SIM      scenario file (*.scn); its driver statements (attached,
//                    active, level, panel, mode, rates, result, reply,
//                    driver) set up the driver, every other statement is
//                    left to the system the program runs on
//   CRTRATE_SIM_LOG  file the rig appends its lines to:
//                      escape <words> -> <result>   every request
//                      cds <flags> <mode> -> <answer>
//                                                   each display change and
//                                                   the system's answer
//                                                   (sim/display_line.h)
//                      menu <command> enabled|grayed[ checked] | separator
//                                                   each entry of a popup
//                                                   menu as USER32 holds it
//                                                   when it opens
//                      error <text>                 a scenario it could not
//                                                   read
//
// Paths may be given the Unix way (/tmp/x.scn): under Wine they are found
// on drive Z:, which maps the Unix root.
#include <windows.h>

#include <string>
#include <vector>

#include "driver/driver.h"
#include "harness/rig/log_file.h"
#include "sim/display_line.h"
#include "sim/driver_model.h"

namespace {

class Rig {
public:
  Rig() : logPath_(EnvironmentPath("CRTRATE_SIM_LOG")) {
    std::string scenario = EnvironmentPath("CRTRATE_SIM");
    if (!scenario.empty())
      Load(scenario);
    // Thread hook: WM_INITMENUPOPUP reaches the owner window before the
    // popup shows, with every entry's state already set.
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, CallWndProc, NULL,
                              GetCurrentThreadId());
    if (hook_ == NULL)
      Log("error cannot hook the window procedure calls");
    if (!HookDisplaySettings())
      Log("error cannot find ChangeDisplaySettingsA among the imports");
  }

  int Send(int inputSize, const void *input, int replySize, void *reply) {
    std::string line;
    int result = driver_.Escape(input, inputSize, replySize, reply, &line);
    if (!line.empty())
      Log(line);
    return result;
  }

  void Log(const std::string &line) { AppendLine(logPath_, line); }

private:
  static LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam);
  void LogMenu(HMENU menu);
  static bool HookDisplaySettings();
  static LONG WINAPI LoggedChangeDisplaySettingsA(DEVMODEA *mode, DWORD flags);

  void Load(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
      Log("error cannot read " + path);
      return;
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got > 0)
      text.append(buffer, got);
    CloseHandle(file);

    // The session's actions are played by the harness.
    Scenario scenario;
    ScenarioLine bad;
    std::string why;
    bool read = ReadScenario(text, &scenario, &bad, &why);
    for (const ScenarioLine &line : scenario.statements)
      if (read && line.form->actor == ScenarioActor::Driver &&
          !driver_.ApplyStatement(line.words)) {
        why = "the driver does not take it";
        bad = line;
        read = false;
      }
    if (!read)
      Log("error " + path + ":" + std::to_string(bad.number) + ": " + why +
          ": " + bad.text);
  }

  typedef LONG(WINAPI *ChangeDisplaySettingsProc)(DEVMODEA *, DWORD);

  std::string logPath_;
  DisplayDriverModel driver_;
  HHOOK hook_ = NULL;
  // The system's own ChangeDisplaySettingsA, as the loader bound it.
  static ChangeDisplaySettingsProc systemChangeDisplaySettings_;
};

Rig::ChangeDisplaySettingsProc Rig::systemChangeDisplaySettings_ = NULL;

Rig &TheRig() {
  static Rig rig;
  return rig;
}

// The menu as Windows holds it when it opens, in the transcript's listing
// (MenuListingLines): "grayed" for MF_GRAYED or MF_DISABLED.  Captions go
// from the ANSI code page to UTF-8, as the simulated notebook's do.
void Rig::LogMenu(HMENU menu) {
  std::vector<MenuListingItem> items;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    if (state == 0xFFFFFFFF)
      continue;
    char ansi[256] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), ansi, sizeof ansi,
                   MF_BYPOSITION);
    wchar_t wide[256] = L"";
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 256);
    char utf8[768] = "";
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, NULL, NULL);
    items.push_back({utf8, (state & MF_SEPARATOR) != 0,
                     (state & (MF_GRAYED | MF_DISABLED)) != 0,
                     (state & MF_CHECKED) != 0});
  }
  // One write for the whole listing, so the harness never reads half of
  // one.
  std::string listing;
  for (const std::string &line : MenuListingLines(items))
    listing += (listing.empty() ? "" : "\n") + line;
  Log(listing);
}

LRESULT CALLBACK Rig::CallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const CWPSTRUCT *call = reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (call->message == WM_INITMENUPOPUP)
      TheRig().LogMenu(reinterpret_cast<HMENU>(call->wParam));
  }
  return CallNextHookEx(NULL, code, wParam, lParam);
}

// The program calls ChangeDisplaySettingsA through its import address
// table, the slot the loader fills with the function's address when the
// exe is mapped ("The .idata Section" in Microsoft's PE Format page,
// learn.microsoft.com/windows/win32/debug/pe-format).  The slot of USER32's
// ChangeDisplaySettingsA is pointed at the logging wrapper, which calls the
// address the loader put there, so the program gets the system's answer
// unchanged.
bool Rig::HookDisplaySettings() {
  BYTE *base = reinterpret_cast<BYTE *>(GetModuleHandleA(NULL));
  const IMAGE_DOS_HEADER *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
  const IMAGE_NT_HEADERS *nt =
      reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY &imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0)
    return false;
  for (const IMAGE_IMPORT_DESCRIPTOR *dll =
           reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base +
                                                       imports.VirtualAddress);
       dll->Name != 0; ++dll) {
    if (lstrcmpiA(reinterpret_cast<const char *>(base + dll->Name),
                  "user32.dll") != 0)
      continue;
    const IMAGE_THUNK_DATA *name =
        reinterpret_cast<IMAGE_THUNK_DATA *>(base + dll->OriginalFirstThunk);
    IMAGE_THUNK_DATA *slot =
        reinterpret_cast<IMAGE_THUNK_DATA *>(base + dll->FirstThunk);
    for (; name->u1.AddressOfData != 0; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal))
        continue;
      const IMAGE_IMPORT_BY_NAME *import =
          reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base +
                                                   name->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<const char *>(import->Name),
                   "ChangeDisplaySettingsA") != 0)
        continue;
      DWORD was = 0;
      if (!VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function,
                          PAGE_READWRITE, &was))
        return false;
      systemChangeDisplaySettings_ =
          reinterpret_cast<ChangeDisplaySettingsProc>(slot->u1.Function);
      slot->u1.Function =
          reinterpret_cast<ULONG_PTR>(&LoggedChangeDisplaySettingsA);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, was, &was);
      return true;
    }
  }
  return false;
}

LONG WINAPI Rig::LoggedChangeDisplaySettingsA(DEVMODEA *mode, DWORD flags) {
  LONG answer = systemChangeDisplaySettings_(mode, flags);
  TheRig().Log(DisplaySettingsLine(mode, flags, answer));
  return answer;
}

// Loads the scenario and hooks the thread and the import before WinMain
// runs, so the start-up requests are answered and the first menu is seen.
struct RigStart {
  RigStart() { TheRig(); }
} rigStart;

} // namespace

int SendDisplayControl(int inputSize, const void *input, int replySize,
                       void *reply) {
  return TheRig().Send(inputSize, input, replySize, reply);
}
