// The transcript's line for one ChangeDisplaySettingsA call,
//
//   cds <flags> <width>x<height>x<bpp>@<hz> -> <answer>
//
// with the flags as 0x and eight hex digits and "null" for a call without
// a record.  A record that says private driver data follow it (DEVMODE:
// dmDriverExtra, the bytes of it after dmSize) shows their count after
// the mode, "+<bytes>": the program's records carry none.  The simulated
// notebook writes it with its own answer, the Windows rig (harness/rig/) with
// the answer of the system it runs on, and the end-to-end harness compares the
// two.
//
// Deliberately free of any Win32 header, real or simulated: `Record` is
// the DEVMODEA of whichever the including file uses.
#pragma once

#include <cstdio>
#include <string>

template <typename Record>
std::string DisplaySettingsLine(const Record *mode, unsigned long flags,
                                long answer) {
  char hex[16];
  snprintf(hex, sizeof hex, "0x%08lx", flags);
  std::string line = "cds " + std::string(hex) + " ";
  if (mode == nullptr)
    line += "null";
  else
    line +=
        std::to_string(mode->dmPelsWidth) + "x" +
        std::to_string(mode->dmPelsHeight) + "x" +
        std::to_string(mode->dmBitsPerPel) + "@" +
        std::to_string(mode->dmDisplayFrequency) +
        (mode->dmDriverExtra ? "+" + std::to_string(mode->dmDriverExtra) : "");
  return line + " -> " + std::to_string(answer);
}
