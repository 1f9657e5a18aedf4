// The popup menu's fixed layout and the mode each command stands for.
#include "menu/menu.h"
#include "platform/state.h"
#include "resources/resource.h"

HMENU MenuHandle; // the popup menu; NULL before the window exists

// Slot order is menu order.  Command IDs are not in slot order: 640x480
// 100 Hz (9012) came after the first twelve, 1280x1024 (9014) later still,
// and 9013 was never given an entry.
//
//  command  caption       ModeCode  Hz
const MenuSlot MenuCommandTable[MenuSlotCount] = {
    {9000, IDS_640_60, 5, 60},   // "640x480   60Hz"
    {9001, IDS_640_72, 5, 72},   // "640x480   72Hz"
    {9002, IDS_640_75, 5, 75},   // "640x480   75Hz"
    {9003, IDS_640_85, 5, 85},   // "640x480   85Hz"
    {9012, IDS_640_100, 5, 100}, // "640x480   100Hz"
    {0, 0, 0, 0},                // ----------------
    {9004, IDS_800_60, 6, 60},   // "800x600   60Hz"
    {9005, IDS_800_72, 6, 72},   // "800x600   72Hz"
    {9006, IDS_800_75, 6, 75},   // "800x600   75Hz"
    {9007, IDS_800_85, 6, 85},   // "800x600   85Hz"
    {0, 0, 0, 0},                // ----------------
    {9008, IDS_1024_60, 8, 60},  // "1024x768  60Hz"
    {9009, IDS_1024_70, 8, 70},  // "1024x768  70Hz"
    {9010, IDS_1024_75, 8, 75},  // "1024x768  75Hz"
    {9011, IDS_1024_85, 8, 85},  // "1024x768  85Hz"
    {0, 0, 0, 0},                // ----------------
    {9014, IDS_1280_60, 10, 60}, // "1280x1024  60Hz"
};

void BuildRefreshMenu(HWND) {
  char caption[256];
  caption[0] = 0;
  MenuHandle = CreatePopupMenu();
  for (const MenuSlot &slot : MenuCommandTable) {
    if (slot.CommandId != 0) {
      caption[0] = 0;
      LoadStringA(AppInstance, slot.StringId, caption, 255);
      AppendMenuA(MenuHandle, MF_STRING, slot.CommandId, caption);
    } else {
      AppendMenuA(MenuHandle, MF_SEPARATOR, 0, "");
    }
  }
  // The menu is deliberately not attached to the window with SetMenu: a
  // popup that is also a window's menu bar is refused by TrackPopupMenu in
  // some Win32 implementations.  WinMain frees it after the message loop.
}

void DestroyRefreshMenu(void) {
  if (MenuHandle != NULL)
    DestroyMenu(MenuHandle);
  MenuHandle = NULL;
}

void UncheckAllEntries(void) {
  for (const MenuSlot &slot : MenuCommandTable)
    CheckMenuItem(MenuHandle, slot.CommandId, MF_BYCOMMAND | MF_UNCHECKED);
}

void SetAllEntriesState(UINT flags) {
  for (const MenuSlot &slot : MenuCommandTable)
    if (slot.CommandId != 0)
      EnableMenuItem(MenuHandle, slot.CommandId, MF_BYCOMMAND | flags);
}

BOOL CommandToMode(DWORD command, DWORD *modeCode, DWORD *refreshHz) {
  if (command == 0)
    return FALSE;
  for (const MenuSlot &slot : MenuCommandTable) {
    if (slot.CommandId == command) {
      *modeCode = slot.ModeCode;
      *refreshHz = slot.RefreshHz;
      return TRUE;
    }
  }
  return FALSE;
}
