// The contract suite: the Win32 behaviours the program relies on, written
// once and compiled twice, against the simulated notebook and as a Windows
// console exe.  Each case prints one line; the lines of the two builds must
// be equal except where a case says which real system the simulation
// follows instead of the one it runs on (tests/contract/compare.py).
#pragma once

#include "platform/win32.h"

// The state every case starts from, set up the way each side can: a key
// HKEY_CURRENT_CONFIG\Contract with no values, an existing
// HKEY_CURRENT_CONFIG\Display\Settings without "RefreshRate", a desktop of
// 1024x768 at 16 bits, and no display driver behind escape 0x3000.
void WorldReset();
// The module whose string table and icons are the program's own.
HINSTANCE WorldInstance();
