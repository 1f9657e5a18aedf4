// Which menu entries the panel, the desktop, the displays in use and the
// driver generation allow.  The display chip shares its memory bandwidth
// between panel and CRT, so what the CRT may run depends on all of them;
// the tables below are the chip maker's grid of what was qualified.
#include "driver/driver.h"
#include "menu/menu.h"
#include "platform/state.h"

#include <initializer_list>

namespace {

// Whole rows of the menu, for the decision tree.
const DWORD Group640Commands[] = {9000, 9001, 9002, 9003, 9012};
const DWORD Group800Commands[] = {9004, 9005, 9006, 9007};
const DWORD Group1024Commands[] = {9008, 9009, 9010, 9011};

// The commands of one table cell as a set: bit n stands for command
// 9000 + n.  The cells are written out row by row below, one menu row per
// list, as the grid gives them; kept as sets, the tables take 160 bytes of
// the executable instead of over five kilobytes.
typedef WORD CommandSet;

constexpr CommandSet Commands(std::initializer_list<DWORD> row) {
  CommandSet set = 0;
  for (DWORD command : row)
    if (command != 0)
      set = static_cast<CommandSet>(set | 1u << (command - FirstCommand));
  return set;
}

constexpr CommandSet Cell(std::initializer_list<DWORD> row0,
                          std::initializer_list<DWORD> row1 = {},
                          std::initializer_list<DWORD> row2 = {},
                          std::initializer_list<DWORD> row3 = {}) {
  return static_cast<CommandSet>(Commands(row0) | Commands(row1) |
                                 Commands(row2) | Commands(row3));
}

// Availability tables: [depth 8, 16, 24, 32][width 640, 800, 1024, 1280].
// Each cell lists the commands to enable, one list per menu row as the grid
// gives them; {0} is an empty row.

// clang-format off
// Legacy driver, CRT alone, 800-pixel (or unrecognised) panel.
constexpr CommandSet LegacyCrtAloneSvgaTable[4][4] = {
  // 8 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003, 9012}, {0}),
    /*  800 */ Cell({9000, 9001, 9002, 9003}, {9004, 9005, 9006, 9007}),
    /* 1024 */ Cell({9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}),
    /* 1280 */ Cell({9004}, {9014}),
  },
  // 16 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003}, {0}),
    /*  800 */ Cell({9004, 9005, 9006, 9007}, {0}),
    /* 1024 */ Cell({9004, 9005, 9006}, {9008, 9009, 9010}),
    /* 1280 */ Cell({0}, {0}),
  },
  // 24 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003}, {0}),
    /*  800 */ Cell({9004, 9005, 9006, 9007}, {0}),
    /* 1024 */ Cell({0}, {0}),
    /* 1280 */ Cell({0}, {0}),
  },
  // 32 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002}, {0}),
    /*  800 */ Cell({9004, 9005, 9006}, {0}),
    /* 1024 */ Cell({0}, {0}),
    /* 1280 */ Cell({0}, {0}),
  },
};

// The switch driver was qualified to exactly the same grid.
constexpr const CommandSet (&SwitchCrtAloneSvgaTable)[4][4] =
    LegacyCrtAloneSvgaTable;

// Legacy driver, CRT alone, 1024- to 1280-pixel panel.
constexpr CommandSet LegacyCrtAloneXgaTable[4][4] = {
  // 8 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003, 9012}, {0}, {0}),
    /*  800 */ Cell({9004, 9005, 9006, 9007}, {0}, {0}),
    /* 1024 */ Cell({9000, 9001, 9002, 9003}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}),
    /* 1280 */ Cell({9008}, {0}, {9014}),
  },
  // 16 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003}, {0}, {0}),
    /*  800 */ Cell({9004, 9005, 9006, 9007}, {0}, {0}),
    /* 1024 */ Cell({9008, 9009, 9010}, {0}, {0}),
    /* 1280 */ Cell({0}, {0}, {0}),
  },
  // 24 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003}, {0}, {0}),
    /*  800 */ Cell({9004, 9005, 9006, 9007}, {0}, {0}),
    /* 1024 */ Cell({0}, {0}, {0}),
    /* 1280 */ Cell({0}, {0}, {0}),
  },
  // 32 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002}, {0}, {0}),
    /*  800 */ Cell({9004, 9005, 9006}, {0}, {0}),
    /* 1024 */ Cell({0}, {0}, {0}),
    /* 1280 */ Cell({0}, {0}, {0}),
  },
};

// Switch driver, CRT alone, 1024- to 1280-pixel panel: each wider desktop
// adds the next resolution's row; nothing at 32 bits.
constexpr CommandSet SwitchCrtAloneXgaTable[4][4] = {
  // 8 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003, 9012}, {0}, {0}, {0}),
    /*  800 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {0}, {0}),
    /* 1024 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {0}),
    /* 1280 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {9014}),
  },
  // 16 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003, 9012}, {0}, {0}, {0}),
    /*  800 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {0}, {0}),
    /* 1024 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {0}),
    /* 1280 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {9014}),
  },
  // 24 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003, 9012}, {0}, {0}, {0}),
    /*  800 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {0}, {0}),
    /* 1024 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {0}),
    /* 1280 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {9014}),
  },
  // 32 bits per pixel
  {
    /*  640 */ Cell({0}, {0}, {0}, {0}),
    /*  800 */ Cell({0}, {0}, {0}, {0}),
    /* 1024 */ Cell({0}, {0}, {0}, {0}),
    /* 1280 */ Cell({0}, {0}, {0}, {0}),
  },
};

// Switch driver, CRT with the panel in use, 800-pixel panel.
constexpr CommandSet SwitchWithLcdSvgaTable[4][4] = {
  // 8 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004}),
    /*  800 */ Cell({9000, 9001, 9002, 9003}, {9004, 9005, 9006, 9007}),
    /* 1024 */ Cell({9004, 9005, 9006}, {9008, 9009, 9010}),
    /* 1280 */ Cell({9004}, {0}),
  },
  // 16 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003}, {9004}),
    /*  800 */ Cell({0}, {9004}),
    /* 1024 */ Cell({9004, 9005, 9006}, {0}),
    /* 1280 */ Cell({0}, {0}),
  },
  // 24 bits per pixel
  {
    /*  640 */ Cell({0}, {9004}),
    /*  800 */ Cell({0}, {9004}),
    /* 1024 */ Cell({0}, {0}),
    /* 1280 */ Cell({0}, {0}),
  },
  // 32 bits per pixel
  {
    /*  640 */ Cell({0}, {9004}),
    /*  800 */ Cell({0}, {9004}),
    /* 1024 */ Cell({0}, {0}),
    /* 1280 */ Cell({0}, {0}),
  },
};

// Switch driver, CRT with the panel in use, 1024- to 1280-pixel panel: as
// with the CRT alone, but narrow desktops also allow 1024x768 60 Hz, and
// 32 bits allows the two lower rows and 1024x768 60 Hz at every width.
constexpr CommandSet SwitchWithLcdXgaTable[4][4] = {
  // 8 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003, 9012}, {0}, {9008}, {0}),
    /*  800 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008}, {0}),
    /* 1024 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {0}),
    /* 1280 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {9014}),
  },
  // 16 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003, 9012}, {0}, {9008}, {0}),
    /*  800 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008}, {0}),
    /* 1024 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {0}),
    /* 1280 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {9014}),
  },
  // 24 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003, 9012}, {0}, {9008}, {0}),
    /*  800 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008}, {0}),
    /* 1024 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {0}),
    /* 1280 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008, 9009, 9010, 9011}, {9014}),
  },
  // 32 bits per pixel
  {
    /*  640 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008}, {0}),
    /*  800 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008}, {0}),
    /* 1024 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008}, {0}),
    /* 1280 */ Cell({9000, 9001, 9002, 9003, 9012}, {9004, 9005, 9006, 9007}, {9008}, {0}),
  },
};
// clang-format on

void Enable(DWORD command) {
  EnableMenuItem(MenuHandle, command, MF_BYCOMMAND | MF_ENABLED);
}

void Grey(DWORD command) {
  EnableMenuItem(MenuHandle, command, MF_BYCOMMAND | MF_GRAYED);
}

// Enables every command of one cell; never greys and never checks.
void EnableCell(const CommandSet (&table)[4][4], const DEVMODEA *desktop) {
  CommandSet cell = table[DepthIndex(desktop->dmBitsPerPel)]
                         [WidthIndex(desktop->dmPelsWidth)];
  for (DWORD command = FirstCommand; command <= LastCommand; ++command)
    if (cell & (1u << (command - FirstCommand)))
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
        EnableCommandList(Group640Commands, MF_ENABLED);
        Enable(9004);
      } else if (width == 800) {
        EnableCommandList(Group640Commands, MF_ENABLED);
        EnableCommandList(Group800Commands, MF_ENABLED);
        Grey(9012);
      } else if (width == 1024) {
        EnableCommandList(Group800Commands, MF_ENABLED);
        EnableCommandList(Group1024Commands, MF_ENABLED);
        Grey(9007);
        Grey(9011);
      } else {
        EnableAndCheckOnly(9004);
      }
    } else if (depth == 16) {
      if (width == 640) {
        EnableCommandList(Group640Commands, MF_ENABLED);
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
        EnableCommandList(Group640Commands, MF_ENABLED);
        Enable(9008);
      } else if (width == 800) {
        EnableCommandList(Group800Commands, MF_ENABLED);
        EnableCommandList(Group1024Commands, MF_ENABLED);
        Grey(9011);
      } else if (width == 1024) {
        EnableCommandList(Group640Commands, MF_ENABLED);
        EnableCommandList(Group800Commands, MF_ENABLED);
        EnableCommandList(Group1024Commands, MF_ENABLED);
        Grey(9003);
        Grey(9012);
        Grey(9007);
        Grey(9011);
      } else {
        EnableAndCheckOnly(9008);
      }
    } else if (depth == 16) {
      if (width == 640) {
        EnableCommandList(Group640Commands, MF_ENABLED);
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
