// Which popup-menu entries are enabled and which one is checked, for every
// driver generation, display situation, panel class, desktop depth and width
// and a few modes in force.  The expected results are written out below as
// the same grids the menu rules are kept in ("9000-9003,9012 / 0": rows of a
// cell split by slashes, a lone 0 for an empty row), independent of the
// tables in menu/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "driver/driver.h"
#include "menu/menu.h"
#include "sim/sim.h"

namespace {

using IdSet = std::set<DWORD>;

// "9000-9003,9012 / 9004" -> {9000, 9001, 9002, 9003, 9012, 9004}.
IdSet Ids(const char *text) {
  std::string s(text);
  for (char &c : s)
    if (c == '/' || c == ',')
      c = ' ';
  std::istringstream in(s);
  IdSet ids;
  for (std::string tok; in >> tok;) {
    size_t dash = tok.find('-');
    DWORD first = std::stoul(tok.substr(0, dash));
    DWORD last =
        dash == std::string::npos ? first : std::stoul(tok.substr(dash + 1));
    for (DWORD id = first; id != 0 && id <= last; ++id)
      ids.insert(id);
  }
  return ids;
}

// The reverse, for messages: {9000, 9001, 9002, 9012} -> "9000-9002,9012".
std::string Show(const IdSet &ids) {
  if (ids.empty())
    return "none";
  std::string out;
  for (auto it = ids.begin(); it != ids.end();) {
    DWORD first = *it, last = *it;
    while (++it != ids.end() && *it == last + 1)
      last = *it;
    if (!out.empty())
      out += ",";
    out += std::to_string(first);
    if (last != first)
      out += "-" + std::to_string(last);
  }
  return out;
}

// ---- The menu's entries, top to bottom: command, resolution row, rate. ----
struct Entry {
  DWORD id;
  int row;
  DWORD hz;
};
const Entry Entries[] = {
    {9000, 0, 60}, {9001, 0, 72}, {9002, 0, 75}, {9003, 0, 85}, {9012, 0, 100},
    {9004, 1, 60}, {9005, 1, 72}, {9006, 1, 75}, {9007, 1, 85}, {9008, 2, 60},
    {9009, 2, 70}, {9010, 2, 75}, {9011, 2, 85}, {9014, 3, 60}};
// Resolution codes of the rows: legacy driver's and switch driver's.
const WORD LegacyCodes[4] = {5, 6, 8, 10};
const WORD SwitchCodes[4] = {6, 10, 13, 15};

// ---- Check mark of the mode in force. ----
// Columns: 60 Hz, 70 or 72 Hz, 75 Hz, 85 Hz, 100 Hz ("-": no mark).  Any other
// rate marks the row's 60 Hz entry on NT 4.0 and nothing elsewhere.
struct MarkRow {
  const char *res;
  WORD legacy, sw;
  const char *marks;
};
const MarkRow Marks[] = {{"640x480", 5, 6, "9000 9001 9002 9003 9012"},
                         {"800x600", 6, 10, "9004 9005 9006 9007 -"},
                         {"1024x768", 8, 13, "9008 9009 9010 9011 -"},
                         {"1280x1024", 10, 15, "9014 - - - -"}};
const struct {
  DWORD hz;
  int column;
} RateColumns[] = {{60, 0}, {70, 1}, {72, 1}, {75, 2}, {85, 3}, {100, 4}};

DWORD ExpectedMark(bool sw, DWORD platform, DWORD code, DWORD hz) {
  for (const MarkRow &row : Marks) {
    if (code != (sw ? row.sw : row.legacy))
      continue;
    std::istringstream in(row.marks);
    std::vector<std::string> cols{std::istream_iterator<std::string>(in), {}};
    int column = platform == PlatformNT4 ? 0 : -1;
    for (const auto &rc : RateColumns)
      if (rc.hz == hz)
        column = rc.column;
    return column < 0 || cols[column] == "-" ? 0 : std::stoul(cols[column]);
  }
  return 0;
}

// ---- Lookup grids: depth 8/16/24/32 down, width 640/800/1024/1280 across.
// clang-format off
using Grid = const char *const[4][4];
Grid CrtAloneSvga = {  // both driver generations
    {"9000-9003,9012 / 0", "9000-9003 / 9004-9007", "9004-9007 / 9008-9011", "9004 / 9014"},
    {"9000-9003 / 0", "9004-9007 / 0", "9004-9006 / 9008-9010", "0 / 0"},
    {"9000-9003 / 0", "9004-9007 / 0", "0 / 0", "0 / 0"},
    {"9000-9002 / 0", "9004-9006 / 0", "0 / 0", "0 / 0"}};
Grid LegacyCrtAloneXga = {
    {"9000-9003,9012 / 0 / 0", "9004-9007 / 0 / 0", "9000-9003 / 9004-9007 / 9008-9011", "9008 / 0 / 9014"},
    {"9000-9003 / 0 / 0", "9004-9007 / 0 / 0", "9008-9010 / 0 / 0", "0 / 0 / 0"},
    {"9000-9003 / 0 / 0", "9004-9007 / 0 / 0", "0 / 0 / 0", "0 / 0 / 0"},
    {"9000-9002 / 0 / 0", "9004-9006 / 0 / 0", "0 / 0 / 0", "0 / 0 / 0"}};
#define SW_XGA_ROW                                                           \
  {"9000-9003,9012 / 0 / 0 / 0", "9000-9003,9012 / 9004-9007 / 0 / 0",       \
   "9000-9003,9012 / 9004-9007 / 9008-9011 / 0",                             \
   "9000-9003,9012 / 9004-9007 / 9008-9011 / 9014"}
Grid SwitchCrtAloneXga = {SW_XGA_ROW, SW_XGA_ROW, SW_XGA_ROW,
                          {"0 / 0 / 0 / 0", "0 / 0 / 0 / 0", "0 / 0 / 0 / 0", "0 / 0 / 0 / 0"}};
Grid SwitchWithLcdSvga = {
    {"9000-9003,9012 / 9004", "9000-9003 / 9004-9007", "9004-9006 / 9008-9010", "9004 / 0"},
    {"9000-9003 / 9004", "0 / 9004", "9004-9006 / 0", "0 / 0"},
    {"0 / 9004", "0 / 9004", "0 / 0", "0 / 0"},
    {"0 / 9004", "0 / 9004", "0 / 0", "0 / 0"}};
#define SW_LCD_XGA_ROW                                                       \
  {"9000-9003,9012 / 0 / 9008 / 0", "9000-9003,9012 / 9004-9007 / 9008 / 0", \
   "9000-9003,9012 / 9004-9007 / 9008-9011 / 0",                             \
   "9000-9003,9012 / 9004-9007 / 9008-9011 / 9014"}
#define SW_LCD_XGA_32 "9000-9003,9012 / 9004-9007 / 9008 / 0"
Grid SwitchWithLcdXga = {SW_LCD_XGA_ROW, SW_LCD_XGA_ROW, SW_LCD_XGA_ROW,
                         {SW_LCD_XGA_32, SW_LCD_XGA_32, SW_LCD_XGA_32, SW_LCD_XGA_32}};
// clang-format on

// Position of a desktop depth or width among the four the grids know; any
// other value reads the first row or column.
int IndexOf(DWORD value, std::initializer_list<DWORD> known) {
  const DWORD *at = std::find(known.begin(), known.end(), value);
  return at == known.end() ? 0 : static_cast<int>(at - known.begin());
}

// ---- Legacy driver with the LCD in use: tried top to bottom, first match.
// Depth "<16" means below 16 but not 8; width "*" any width.  The last column
// names the entry that ends up as the only checked one, 0 when the mark of
// the mode in force stays.
struct TreeRow {
  const char *depth, *width, *enabled;
  DWORD onlyChecked;
};
const TreeRow SvgaTree[] = {{"8", "640", "9000-9003,9012,9004", 0},
                            {"8", "800", "9000-9003,9004-9007", 0},
                            {"8", "1024", "9004-9006,9008-9010", 0},
                            {"8", "*", "9004", 9004},
                            {"16", "640", "9000-9003,9004", 0},
                            {"16", "*", "9004", 9004},
                            {"<16", "*", "0", 0},
                            {">16", "*", "9004", 9004}};
const TreeRow XgaTree[] = {{"8", "640", "9000-9003,9012,9008", 0},
                           {"8", "800", "9004-9007,9008-9010", 0},
                           {"8", "1024", "9000-9002,9004-9006,9008-9010", 0},
                           {"8", "*", "9008", 9008},
                           {"16", "640", "9000-9003,9008", 0},
                           {"16", "*", "9008", 9008},
                           {"<16", "*", "0", 0},
                           {">16", "*", "9008", 0}};

bool DepthMatches(const std::string &pattern, DWORD depth) {
  if (pattern == "<16")
    return depth < 16 && depth != 8;
  if (pattern == ">16")
    return depth > 16;
  return depth == std::stoul(pattern);
}

// ---- The input space. ----
enum Situation { NoCrt, CrtAlone, WithLcd };
struct Display {
  const char *name;
  DWORD crtActive, crtIdle, lcdActive;
  Situation kind;
};
const Display Displays[] = {
    {"NoCrtLcdOn", 0, 0, 1, NoCrt},      {"NoCrtLcdOff", 0, 0, 0, NoCrt},
    {"CrtAlone", 1, 0, 0, CrtAlone},     {"LcdAndActiveCrt", 1, 0, 1, WithLcd},
    {"LcdAndIdleCrt", 0, 1, 1, WithLcd}, {"IdleCrtLcdOff", 0, 1, 0, WithLcd}};
enum Panel { Vga, Svga, Xga, Sxga };
const char *const PanelNames[] = {"Vga", "Svga", "Xga", "Sxga"};
const DWORD Depths[] = {1, 4, 8, 15, 16, 24, 32};
const DWORD Widths[] = {640, 800, 1024, 1152, 1280, 1600};
const DWORD Platforms[] = {PlatformWin9x, PlatformNT4};

struct Case {
  bool sw;
  DWORD platform;
  const Display *display;
  Panel panel;
  DWORD depth, width;
  WORD code;
  DWORD hz;
  std::string Name() const {
    std::ostringstream o;
    o << (sw ? "switch" : "legacy") << " driver, "
      << (platform == PlatformNT4 ? "NT4" : "Win9x") << ", " << display->name
      << ", panel " << PanelNames[panel] << ", depth " << depth << ", width "
      << width << ", mode in force " << code << " at " << hz << " Hz";
    return o.str();
  }
};
struct Outcome {
  IdSet enabled, checked;
  size_t entries = 0;
};

Outcome Expected(const Case &c) {
  Outcome out;
  if (c.display->kind == NoCrt)
    return out;
  if (DWORD mark = ExpectedMark(c.sw, c.platform, c.code, c.hz))
    out.checked = {mark};
  int d = IndexOf(c.depth, {8, 16, 24, 32}),
      w = IndexOf(c.width, {640, 800, 1024, 1280});
  bool svga = c.panel == Svga, xgaOrSxga = c.panel == Xga || c.panel == Sxga;
  if (c.display->kind == CrtAlone || c.sw) {
    const bool alone = c.display->kind == CrtAlone;
    Grid &svgaGrid = alone ? CrtAloneSvga : SwitchWithLcdSvga;
    Grid &xgaGrid = !c.sw   ? LegacyCrtAloneXga
                    : alone ? SwitchCrtAloneXga
                            : SwitchWithLcdXga;
    out.enabled = Ids(svga        ? svgaGrid[d][w]
                      : xgaOrSxga ? xgaGrid[d][w]
                                  : "9004");
    return out;
  }
  // Legacy driver with the LCD in use: only the 800 and 1024 panels have rules.
  if (c.panel != Svga && c.panel != Xga) {
    out.enabled = {9004};
    return out;
  }
  for (const TreeRow &row : c.panel == Svga ? SvgaTree : XgaTree) {
    if (!DepthMatches(row.depth, c.depth))
      continue;
    if (std::string(row.width) != "*" && std::stoul(row.width) != c.width)
      continue;
    out.enabled = Ids(row.enabled);
    if (row.onlyChecked)
      out.checked = {row.onlyChecked};
    return out;
  }
  ADD_FAILURE() << "no rule row for " << c.Name();
  return out;
}

void Prepare(bool sw, DWORD platform, const Display &display, Panel panel) {
  SimReset();
  AppInstance = reinterpret_cast<HINSTANCE>(1);
  PlatformClass = platform;
  SwitchDriverPresent = sw ? 1 : 0;
  DriverReady = 1;
  PanelIsVga = panel == Vga;
  PanelIsSvga = panel == Svga;
  PanelIsXga = panel == Xga;
  PanelIsSxga = panel == Sxga;
  CrtActive = display.crtActive;
  CrtIdle = display.crtIdle;
  LcdActive = display.lcdActive;
  BuildRefreshMenu(nullptr);
}

Outcome Read() {
  Outcome out;
  for (const SimMenuItem &item : SimMenuItems(MenuHandle)) {
    if (item.id == 0)
      continue;
    ++out.entries;
    if (!(item.state & (MF_GRAYED | MF_DISABLED)))
      out.enabled.insert(item.id);
    if (item.state & MF_CHECKED)
      out.checked.insert(item.id);
  }
  return out;
}

Outcome Observe(const Case &c) {
  Prepare(c.sw, c.platform, *c.display, c.panel);
  DEVMODEA desktop;
  std::memset(&desktop, 0, sizeof desktop);
  desktop.dmBitsPerPel = c.depth;
  desktop.dmPelsWidth = c.width;
  UpdateMenuAvailability(c.code, c.hz, &desktop);
  Outcome out = Read();
  DestroyRefreshMenu();
  return out;
}

// Every platform x depth x width x mode in force for one driver, display and
// panel.  Modes: none; the last entry expected enabled; the first expected
// greyed; and 1024x768 at a rate with no entry (56 Hz).
std::vector<Case> Sweep(bool sw, const Display &display, Panel panel) {
  std::vector<Case> cases;
  const WORD *codes = sw ? SwitchCodes : LegacyCodes;
  for (DWORD platform : Platforms)
    for (DWORD depth : Depths)
      for (DWORD width : Widths) {
        Case c{sw, platform, &display, panel, depth, width, 0, 0};
        cases.push_back(c);
        IdSet enabled = Expected(c).enabled;
        const Entry *on = nullptr, *off = nullptr;
        for (const Entry &e : Entries) {
          if (enabled.count(e.id))
            on = &e;
          else if (!off)
            off = &e;
        }
        for (const Entry *e : {on, off})
          if (e)
            cases.push_back({sw, platform, &display, panel, depth, width,
                             codes[e->row], e->hz});
        cases.push_back(
            {sw, platform, &display, panel, depth, width, codes[2], 56});
      }
  return cases;
}

using GridParam = std::tuple<bool, int, int>; // switch driver, display, panel

class MenuRulesGrid : public ::testing::TestWithParam<GridParam> {};

TEST_P(MenuRulesGrid, EnabledAndCheckedEntriesMatchTheRules) {
  auto [sw, display, panel] = GetParam();
  int bad = 0;
  for (const Case &c : Sweep(sw, Displays[display], Panel(panel))) {
    Outcome want = Expected(c), got = Observe(c);
    ASSERT_EQ(got.entries, 14u) << c.Name();
    if (want.enabled == got.enabled && want.checked == got.checked)
      continue;
    if (++bad <= 25)
      ADD_FAILURE() << c.Name() << "\n  enabled: expected "
                    << Show(want.enabled) << ", got " << Show(got.enabled)
                    << "\n  checked: expected " << Show(want.checked)
                    << ", got " << Show(got.checked);
  }
  EXPECT_EQ(bad, 0) << "cases disagreeing with the tables (first 25 listed "
                       "above)";
}

INSTANTIATE_TEST_SUITE_P(MenuRules, MenuRulesGrid,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Range(0, 6),
                                            ::testing::Range(0, 4)),
                         [](const ::testing::TestParamInfo<GridParam> &p) {
                           return std::string(std::get<0>(p.param) ? "Switch"
                                                                   : "Legacy") +
                                  "_" + Displays[std::get<1>(p.param)].name +
                                  "_" + PanelNames[std::get<2>(p.param)];
                         });

// The check mark on its own, for every code 0-20 in both numberings, every
// listed rate and a few unlisted ones, on each platform.
TEST(MenuRulesCheckMark, MarksTheEntryOfTheModeInForce) {
  const DWORD rates[] = {60, 70, 72, 75, 85, 100, 0, 56, 87, 120};
  for (DWORD platform : {PlatformWin95First, PlatformWin9x, PlatformNT4})
    for (bool sw : {false, true})
      for (DWORD code = 0; code <= 20; ++code)
        for (DWORD hz : rates) {
          Prepare(sw, platform, Displays[2], Svga);
          SetAllEntriesState(MF_GRAYED);
          (sw ? CheckSwitchModeInForce : CheckModeInForce)(code, hz);
          Outcome got = Read();
          DWORD mark = ExpectedMark(sw, platform, code, hz);
          EXPECT_EQ(Show(got.checked), Show(mark ? IdSet{mark} : IdSet{}))
              << (sw ? "switch" : "legacy") << " code " << code << " at " << hz
              << " Hz, platform " << platform;
          EXPECT_TRUE(got.enabled.empty())
              << "placing the mark enabled " << Show(got.enabled);
          DestroyRefreshMenu();
        }
}

TEST(MenuRulesCheckMark, OnlyAddsAMark) {
  Prepare(false, PlatformWin9x, Displays[2], Svga);
  CheckModeInForce(5, 100);
  CheckModeInForce(8, 72);
  EXPECT_EQ(Show(Read().checked), "9009,9012");
  EXPECT_EQ(Read().enabled.size(), 14u);
  DestroyRefreshMenu();
}

} // namespace

TEST(MenuCommands, ZeroAndTheUnusedNumberNameNoMode) {
  DWORD mode = 77, hz = 77;
  EXPECT_FALSE(CommandToMode(0, &mode, &hz));
  EXPECT_FALSE(CommandToMode(9013, &mode, &hz));
  EXPECT_EQ(mode, 77u);
  EXPECT_EQ(hz, 77u);
}
