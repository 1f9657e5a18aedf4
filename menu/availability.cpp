// Which menu entries the panel, the desktop, the displays in use and the
// driver generation allow.  The display chip shares its memory bandwidth
// between panel and CRT, so what the CRT may run depends on all of them;
// the tables below are the chip maker's grid of what was qualified.
#include "app/app.h"
#include "driver/driver.h"
#include "menu/menu.h"

namespace {

// Whole rows of the menu, for the decision tree.
const DWORD Group640Commands[5] = {9000, 9001, 9002, 9003, 9012};
const DWORD Group800Commands[4] = {9004, 9005, 9006, 9007};
const DWORD Group1024Commands[4] = {9008, 9009, 9010, 9011};

// Availability tables: [depth 8, 16, 24, 32][width 640, 800, 1024, 1280]
// [row][place].  Each cell lists the commands to enable, a menu row per
// table row, packed from place 0; 0 is no entry.

// Legacy and switch driver, CRT alone, 800-pixel (or unrecognised) panel.
const DWORD LegacyCrtAloneSvgaTable[4][4][2][5] = {
    {   // 8 bits per pixel
        {{9000, 9001, 9002, 9003, 9012}, {0}},                      //  640
        {{9000, 9001, 9002, 9003}, {9004, 9005, 9006, 9007}},       //  800
        {{9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}},       // 1024
        {{9004}, {9014}},                                           // 1280
    },
    {   // 16 bits per pixel
        {{9000, 9001, 9002, 9003}, {0}},                            //  640
        {{9004, 9005, 9006, 9007}, {0}},                            //  800
        {{9004, 9005, 9006}, {9008, 9009, 9010}},                   // 1024
        {{0}, {0}},                                                 // 1280
    },
    {   // 24 bits per pixel
        {{9000, 9001, 9002, 9003}, {0}},                            //  640
        {{9004, 9005, 9006, 9007}, {0}},                            //  800
        {{0}, {0}},                                                 // 1024
        {{0}, {0}},                                                 // 1280
    },
    {   // 32 bits per pixel
        {{9000, 9001, 9002}, {0}},                                  //  640
        {{9004, 9005, 9006}, {0}},                                  //  800
        {{0}, {0}},                                                 // 1024
        {{0}, {0}},                                                 // 1280
    },
};

// The switch driver was qualified to exactly the same grid.
const DWORD (&SwitchCrtAloneSvgaTable)[4][4][2][5] = LegacyCrtAloneSvgaTable;

// Legacy driver, CRT alone, 1024- to 1280-pixel panel.
const DWORD LegacyCrtAloneXgaTable[4][4][3][5] = {
    {   // 8 bits per pixel
        {{9000, 9001, 9002, 9003, 9012}, {0}, {0}},                 //  640
        {{9004, 9005, 9006, 9007}, {0}, {0}},                       //  800
        {{9000, 9001, 9002, 9003}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}},                                 // 1024
        {{9008}, {0}, {9014}},                                      // 1280
    },
    {   // 16 bits per pixel
        {{9000, 9001, 9002, 9003}, {0}, {0}},                       //  640
        {{9004, 9005, 9006, 9007}, {0}, {0}},                       //  800
        {{9008, 9009, 9010}, {0}, {0}},                             // 1024
        {{0}, {0}, {0}},                                            // 1280
    },
    {   // 24 bits per pixel
        {{9000, 9001, 9002, 9003}, {0}, {0}},                       //  640
        {{9004, 9005, 9006, 9007}, {0}, {0}},                       //  800
        {{0}, {0}, {0}},                                            // 1024
        {{0}, {0}, {0}},                                            // 1280
    },
    {   // 32 bits per pixel
        {{9000, 9001, 9002}, {0}, {0}},                             //  640
        {{9004, 9005, 9006}, {0}, {0}},                             //  800
        {{0}, {0}, {0}},                                            // 1024
        {{0}, {0}, {0}},                                            // 1280
    },
};

// Switch driver, CRT alone, 1024- to 1280-pixel panel: each wider desktop
// adds the next resolution's row; nothing at 32 bits.
const DWORD SwitchCrtAloneXgaTable[4][4][4][5] = {
    {   // 8 bits per pixel
        {{9000, 9001, 9002, 9003, 9012}, {0}, {0}, {0}},            //  640
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {0}, {0}},                                                 //  800
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {0}},                            // 1024
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {9014}},                         // 1280
    },
    {   // 16 bits per pixel
        {{9000, 9001, 9002, 9003, 9012}, {0}, {0}, {0}},            //  640
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {0}, {0}},                                                 //  800
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {0}},                            // 1024
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {9014}},                         // 1280
    },
    {   // 24 bits per pixel
        {{9000, 9001, 9002, 9003, 9012}, {0}, {0}, {0}},            //  640
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {0}, {0}},                                                 //  800
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {0}},                            // 1024
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {9014}},                         // 1280
    },
    {   // 32 bits per pixel
        {{0}, {0}, {0}, {0}},                                       //  640
        {{0}, {0}, {0}, {0}},                                       //  800
        {{0}, {0}, {0}, {0}},                                       // 1024
        {{0}, {0}, {0}, {0}},                                       // 1280
    },
};

// Switch driver, CRT with the panel in use, 800-pixel panel.
const DWORD SwitchWithLcdSvgaTable[4][4][2][5] = {
    {   // 8 bits per pixel
        {{9000, 9001, 9002, 9003, 9012}, {9004}},                   //  640
        {{9000, 9001, 9002, 9003}, {9004, 9005, 9006, 9007}},       //  800
        {{9004, 9005, 9006}, {9008, 9009, 9010}},                   // 1024
        {{9004}, {0}},                                              // 1280
    },
    {   // 16 bits per pixel
        {{9000, 9001, 9002, 9003}, {9004}},                         //  640
        {{0}, {9004}},                                              //  800
        {{9004, 9005, 9006}, {0}},                                  // 1024
        {{0}, {0}},                                                 // 1280
    },
    {   // 24 bits per pixel
        {{0}, {9004}},                                              //  640
        {{0}, {9004}},                                              //  800
        {{0}, {0}},                                                 // 1024
        {{0}, {0}},                                                 // 1280
    },
    {   // 32 bits per pixel
        {{0}, {9004}},                                              //  640
        {{0}, {9004}},                                              //  800
        {{0}, {0}},                                                 // 1024
        {{0}, {0}},                                                 // 1280
    },
};

// Switch driver, CRT with the panel in use, 1024- to 1280-pixel panel: as
// with the CRT alone, but the narrow desktops also allow 1024x768 60 Hz,
// and 32 bits allows the two lower rows and 1024x768 60 Hz at every width.
const DWORD SwitchWithLcdXgaTable[4][4][4][5] = {
    {   // 8 bits per pixel
        {{9000, 9001, 9002, 9003, 9012}, {0}, {9008}, {0}},         //  640
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008}, {0}},                                              //  800
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {0}},                            // 1024
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {9014}},                         // 1280
    },
    {   // 16 bits per pixel
        {{9000, 9001, 9002, 9003, 9012}, {0}, {9008}, {0}},         //  640
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008}, {0}},                                              //  800
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {0}},                            // 1024
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {9014}},                         // 1280
    },
    {   // 24 bits per pixel
        {{9000, 9001, 9002, 9003, 9012}, {0}, {9008}, {0}},         //  640
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008}, {0}},                                              //  800
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {0}},                            // 1024
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008, 9009, 9010, 9011}, {9014}},                         // 1280
    },
    {   // 32 bits per pixel
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008}, {0}},                                              //  640
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008}, {0}},                                              //  800
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008}, {0}},                                              // 1024
        {{9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007},
         {9008}, {0}},                                              // 1280
    },
};

void Enable(DWORD command) {
  EnableMenuItem(MenuHandle, command, MF_BYCOMMAND | MF_ENABLED);
}

void Grey(DWORD command) {
  EnableMenuItem(MenuHandle, command, MF_BYCOMMAND | MF_GRAYED);
}

// Enables every command of one cell; never greys and never checks.
template <DWORD Rows>
void EnableCell(const DWORD (&table)[4][4][Rows][5], const DEVMODEA *desktop) {
  const DWORD(&cell)[Rows][5] = table[DepthIndex(desktop->dmBitsPerPel)]
                                     [WidthIndex(desktop->dmPelsWidth)];
  for (const DWORD(&row)[5] : cell)
    for (DWORD command : row)
      if (command != 0)
        Enable(command);
}

// The legacy driver with the panel in use: its limits depend on the raw
// desktop depth, so a 15-bit or 4-bit desktop counts as below 16 here.
void ApplyLegacyWithLcd(const DEVMODEA *desktop) {
  DWORD depth = desktop->dmBitsPerPel;
  DWORD width = desktop->dmPelsWidth;
  if (PanelIsSvga) {
    if (depth == 8) {
      if (width == 640) {
        EnableCommandList(Group640Commands, 5, MF_ENABLED);
        Enable(9004);
      } else if (width == 800) {
        EnableCommandList(Group640Commands, 5, MF_ENABLED);
        EnableCommandList(Group800Commands, 4, MF_ENABLED);
        Grey(9012);
      } else if (width == 1024) {
        EnableCommandList(Group800Commands, 4, MF_ENABLED);
        EnableCommandList(Group1024Commands, 4, MF_ENABLED);
        Grey(9007);
        Grey(9011);
      } else {
        EnableAndCheckOnly(9004);
      }
    } else if (depth == 16) {
      if (width == 640) {
        EnableCommandList(Group640Commands, 5, MF_ENABLED);
        Enable(9004);
        Grey(9012);
      } else {
        EnableAndCheckOnly(9004);
      }
    } else if (depth > 16) {
      EnableAndCheckOnly(9004);
    }
    // Below 16 bits, other than 8: nothing.
  } else if (PanelIsXga) {
    if (depth == 8) {
      if (width == 640) {
        EnableCommandList(Group640Commands, 5, MF_ENABLED);
        Enable(9008);
      } else if (width == 800) {
        EnableCommandList(Group800Commands, 4, MF_ENABLED);
        EnableCommandList(Group1024Commands, 4, MF_ENABLED);
        Grey(9011);
      } else if (width == 1024) {
        EnableCommandList(Group640Commands, 5, MF_ENABLED);
        EnableCommandList(Group800Commands, 4, MF_ENABLED);
        EnableCommandList(Group1024Commands, 4, MF_ENABLED);
        Grey(9003);
        Grey(9012);
        Grey(9007);
        Grey(9011);
      } else {
        EnableAndCheckOnly(9008);
      }
    } else if (depth == 16) {
      if (width == 640) {
        EnableCommandList(Group640Commands, 5, MF_ENABLED);
        Enable(9008);
        Grey(9012);
      } else {
        EnableAndCheckOnly(9008);
      }
    } else if (depth > 16) {
      Enable(9008); // the check mark of the mode in force stays
    }
    // Below 16 bits, other than 8: nothing.
  } else {
    // 640-pixel panels, and here 1200- and 1280-pixel ones too.
    Enable(9004);
  }
}

} // namespace

DWORD DepthIndex(DWORD bitsPerPixel) {
  switch (bitsPerPixel) {
  case 16:
    return 1;
  case 24:
    return 2;
  case 32:
    return 3;
  default: // 8, and depths the grid does not know
    return 0;
  }
}

DWORD WidthIndex(DWORD width) {
  switch (width) {
  case 800:
    return 1;
  case 1024:
    return 2;
  case 1280:
    return 3;
  default: // 640, and widths the grid does not know
    return 0;
  }
}

void EnableCommandList(const DWORD *list, DWORD count, UINT flags) {
  for (DWORD i = 0; i < count; ++i)
    EnableMenuItem(MenuHandle, list[i], MF_BYCOMMAND | flags);
}

void EnableAndCheckOnly(DWORD command) {
  UncheckAllEntries();
  EnableMenuItem(MenuHandle, command, MF_BYCOMMAND | MF_ENABLED);
  CheckMenuItem(MenuHandle, command, MF_BYCOMMAND | MF_CHECKED);
}

void ApplySwitchAvailability(const DEVMODEA *desktop) {
  BOOL crtAlone = !LcdActive && CrtActive;
  if (PanelIsSvga)
    EnableCell(crtAlone ? SwitchCrtAloneSvgaTable : SwitchWithLcdSvgaTable,
               desktop);
  else if (PanelIsXga || PanelIsSxga) {
    if (crtAlone)
      EnableCell(SwitchCrtAloneXgaTable, desktop);
    else
      EnableCell(SwitchWithLcdXgaTable, desktop);
  } else
    Enable(9004); // 640-pixel panels
}

void UpdateMenuAvailability(WORD modeCode, DWORD refresh,
                            const DEVMODEA *desktop) {
  UncheckAllEntries();
  SetAllEntriesState(MF_GRAYED);
  if (!CrtActive && !CrtIdle)
    return; // no CRT: nothing to choose, nothing in force

  // The check mark goes first: the rules below may move it (only X) but
  // enabling never does, so it may stand on a greyed entry.
  if (SwitchDriverPresent)
    CheckSwitchModeInForce(modeCode, refresh);
  else
    CheckModeInForce(modeCode, refresh);

  if (SwitchDriverPresent) {
    ApplySwitchAvailability(desktop);
  } else if (!LcdActive && CrtActive) {
    if (PanelIsSvga)
      EnableCell(LegacyCrtAloneSvgaTable, desktop);
    else if (PanelIsXga || PanelIsSxga)
      EnableCell(LegacyCrtAloneXgaTable, desktop);
    else
      Enable(9004);
  } else {
    ApplyLegacyWithLcd(desktop);
  }
}
