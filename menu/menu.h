// Exports of menu/: the popup menu's command table, its availability rules
// and the check mark on the mode in force.
#pragma once

#include "platform/win32.h"

enum : DWORD { MenuSlotCount = 17 };

// One slot of the popup menu, top to bottom.  Command 0 is a separator.
// ModeCode and RefreshHz are what a chosen command asks for.
struct MenuSlot {
  DWORD CommandId;
  DWORD StringId;
  DWORD ModeCode;
  DWORD RefreshHz;
};
extern const MenuSlot MenuCommandTable[MenuSlotCount];

// The popup menu's command identifiers lie in this range; the tray window
// takes no other WM_COMMAND as a choice.
enum : DWORD { FirstCommand = 9000, LastCommand = 9014 };

extern HMENU MenuHandle; // the popup menu, built once with the window

// Exports from commands.cpp.

// Creates the popup menu from MenuCommandTable into MenuHandle.  The menu
// outlives `window`: DestroyRefreshMenu frees it once the message loop has
// ended.  Failures of the menu calls are ignored.
void BuildRefreshMenu(HWND window);
// Destroys MenuHandle, if any, and clears it.
void DestroyRefreshMenu(void);
// Clears the check mark of every slot.
void UncheckAllEntries(void);
// Applies MF_ENABLED or MF_GRAYED to every slot but the separators.
void SetAllEntriesState(UINT flags);
// Maps a command to its ModeCode and refresh rate.  Returns 0 and leaves
// both untouched for a command with no slot (separators, 9013, others).
BOOL CommandToMode(DWORD command, DWORD *modeCode, DWORD *refreshHz);

// Exports from check_mark.cpp.  Both only add a check mark: they clear no
// other mark and leave every entry's enabled state alone.

// Checks the entry of a ModeCode (5, 6, 8, 10) at `refresh` Hz, if any.
void CheckModeInForce(DWORD modeCode, DWORD refresh);
// The same for a SwitchModeCode (6, 10, 13, 15).
void CheckSwitchModeInForce(DWORD modeCode, DWORD refresh);

// Exports from availability.cpp.

// Greys every entry, checks the mode in force and enables what the display
// situation, panel, driver generation and desktop allow.  Reads CrtActive,
// CrtIdle, LcdActive, the panel flags and SwitchDriverPresent.
void UpdateMenuAvailability(WORD modeCode, DWORD refresh,
                            const DEVMODEA *desktop);
// The switch driver's rules; called by UpdateMenuAvailability only.
void ApplySwitchAvailability(const DEVMODEA *desktop);
// EnableMenuItem(flags) on every command of `list`, in order.  The list
// brings its own length, so no count can disagree with it.
template <DWORD Count>
void EnableCommandList(const DWORD (&list)[Count], UINT flags) {
  for (DWORD command : list)
    EnableMenuItem(MenuHandle, command, MF_BYCOMMAND | flags);
}
// Unchecks everything, then enables and checks `command` alone.
void EnableAndCheckOnly(DWORD command);
// Table indexes of a desktop depth (8, 16, 24, 32) and width (640, 800,
// 1024, 1280); any other value gives 0.
DWORD DepthIndex(DWORD bitsPerPixel);
DWORD WidthIndex(DWORD width);
