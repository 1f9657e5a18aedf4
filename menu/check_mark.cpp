// The check mark on the menu entry of the CRT mode in force.
#include "menu/menu.h"
#include "platform/state.h"

namespace {

enum : DWORD { NoRow = 0xFFFFFFFF };

// First slot of each resolution's row, by both numberings.  They overlap:
// 6 is 800x600 to the legacy driver but 640x480 to the switch driver.
// clang-format off
//                                 ModeCode  SwitchModeCode  first slot
const DWORD RowFirstSlot[4][3] = {{ 5,        6,              0},   // 640x480
                                  { 6,       10,              6},   // 800x600
                                  { 8,       13,             11},   // 1024x768
                                  {10,       15,             16}};  // 1280x1024
// clang-format on

// Place of a rate within its row.  70 and 72 Hz share the second place: it
// is 72 Hz in the 640x480 and 800x600 rows but 70 Hz in the 1024x768 row.
const DWORD RefreshOffsets[6][2] = {{60, 0}, {70, 1}, {72, 1},
                                    {75, 2}, {85, 3}, {100, 4}};

DWORD FindRow(DWORD code, int numbering) {
  for (const DWORD *row : RowFirstSlot)
    if (row[numbering] == code)
      return row[2];
  return NoRow;
}

void CheckEntry(DWORD code, DWORD refresh, int numbering) {
  DWORD first = FindRow(code, numbering);
  if (first == NoRow)
    return;
  DWORD offset = NoRow;
  for (const DWORD *entry : RefreshOffsets)
    if (entry[0] == refresh)
      offset = entry[1];
  if (offset == NoRow) {
    // NT 4.0 reports rates the menu does not list (56 Hz, "default" as 0
    // or 1); there the row's 60 Hz entry stands for them.
    if (PlatformClass != PlatformNT4)
      return;
    offset = 0;
  }
  DWORD slot = first + offset;
  if (slot >= MenuSlotCount || MenuCommandTable[slot].CommandId == 0)
    return;
  CheckMenuItem(MenuHandle, MenuCommandTable[slot].CommandId,
                MF_BYCOMMAND | MF_CHECKED);
}

} // namespace

void CheckModeInForce(DWORD modeCode, DWORD refresh) {
  CheckEntry(modeCode, refresh, 0);
}

void CheckSwitchModeInForce(DWORD modeCode, DWORD refresh) {
  CheckEntry(modeCode, refresh, 1);
}
