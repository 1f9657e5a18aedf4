// Applying a menu choice on each platform and driver generation.
#include "harness/test_support.h"

namespace {

const char Win9xKeys[] =
    "key HKCC \"Display\\\\Settings\"\n"
    "key HKLM \"System\\\\CurrentControlSet\\\\Services\\\\"
    "Class\\\\DISPLAY\\\\0001\\\\Default\"\n"
    "key HKLM \"System\\\\CurrentControlSet\\\\Services\\\\"
    "Class\\\\Display\\\\0001\\\\MODES\\\\16\\\\1024,768\"\n";
const std::string DefaultKey =
    "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\0001\\Default";
const std::string ModesKey = "System\\CurrentControlSet\\Services\\Class\\"
                             "Display\\0001\\MODES\\16\\1024,768";

} // namespace

class Apply : public ::testing::Test {
protected:
  // Also called again by a case that starts afresh.
  void SetUp() override {
    FreshNotebook();
    GIVEN("desktop 1024 768 16 60\nattached 3\nactive 3");
  }
};

TEST_F(Apply, SameImageByPanelRateModeAndDesktopHeight) {
  const struct {
    WORD panel; // width: 640 VGA, 800 SVGA, 1024 XGA, 1280 SXGA
    LONG mode, hz;
    DWORD height;
    BOOL on;
  } cases[] = {
      {800, 5, 60, 480, TRUE},    {800, 5, 60, 600, TRUE},
      {800, 5, 60, 768, FALSE},   {800, 8, 60, 768, TRUE},
      {800, 8, 60, 600, FALSE},   {800, 6, 60, 600, FALSE},
      {800, 10, 60, 1024, FALSE}, {800, 6, 72, 600, TRUE},
      {800, 8, 100, 768, TRUE},   {1024, 8, 60, 600, FALSE},
      {1024, 8, 60, 768, FALSE},  {1024, 8, 75, 768, TRUE},
      {1024, 5, 60, 480, TRUE},   {1024, 6, 60, 600, TRUE},
      {640, 8, 60, 768, TRUE},    {640, 6, 60, 600, TRUE},
      {1280, 8, 60, 768, TRUE},   {1280, 5, 60, 480, TRUE},
  };
  for (const auto &c : cases) {
    PanelWidth = c.panel;
    SetPanelClass();
    EXPECT_EQ(ChooseSameImage(c.mode, c.hz, c.height), c.on)
        << c.panel << " panel, mode " << c.mode << " " << c.hz << "Hz height "
        << c.height;
  }
}

TEST_F(Apply, Win9xLegacyStopsAtTheFirstFailedWrite) {
  const struct {
    const char *fault;
    const char *crtResolution, *sameImage, *modeRate;
  } cases[] = {
      {"locked HKCC \"Display\\\\Settings\"", "<missing>", "<missing>",
       "<missing>"},
      {"fail RegSetValueExA 2", "3:\x06", "<missing>", "<missing>"},
      {"fail RegSetValueExA 3", "3:\x06", "1:ON", "<missing>"},
  };
  for (const auto &c : cases) {
    SetUp();
    StartedAs(PlatformWin9x, 0, 1024, "0001");
    GIVEN(Win9xKeys);
    GIVEN(c.fault);
    EXPECT_FALSE(ApplyRefreshChoice(6, 60)) << c.fault;
    EXPECT_EQ(Stored("HKCC", "Display\\Settings", "CRTResolution"),
              c.crtResolution)
        << c.fault;
    EXPECT_EQ(Stored("HKCC", "Display\\Settings", "Pairlux_SameImage"),
              c.sameImage)
        << c.fault;
    EXPECT_EQ(Stored("HKLM", ModesKey, "RefreshRate"), c.modeRate) << c.fault;
    EXPECT_EQ(Stored("HKLM", DefaultKey, "RefreshRate"), "<missing>")
        << "default not written back: " << c.fault;
    EXPECT_EQ(SimCallCount("ChangeDisplaySettingsA"), 0) << c.fault;
    EXPECT_TRUE(OpenCountsAreZero()) << c.fault;
  }
}

TEST_F(Apply, Nt4LegacySucceedsOnlyOnDispChangeSuccessful) {
  for (int result : {0, 1, -1, -2, -5}) {
    FreshNotebook();
    GIVEN("desktop 800 600 8 60\nattached 1\nactive 1\ncds-result " +
          std::to_string(result));
    StartedAs(PlatformNT4, 0, 1024);
    EXPECT_EQ(ApplyRefreshChoice(6, 85), result == 0 ? TRUE : FALSE) << result;
    EXPECT_EQ(TakeLines("cds "), (Lines{"cds 0x40000001 800x600x8@85 -> " +
                                        std::to_string(result)}));
  }
}

// The choice is 1024x768, the desktop's size, at 16 bits.
TEST_F(Apply, Nt4LegacyEnumerationStopsAtAModeOfTheSameDepthThatDiffers) {
  const struct {
    const char *modes;
    LONG hz;
    Lines enums;
  } cases[] = {
      {"modes 1024 768 16 85\n" // same depth, differs: stop here
       "modes 640 480 16 60",
       75,
       {"enum 0 -> ok"}},
      {"modes 1024 768 8 60\n"  // other depth: go on
       "modes 1024 768 16 75\n" // the request itself: go on
       "modes 800 600 16 75",   // same depth, differs: stop
       75,
       {"enum 0 -> ok", "enum 1 -> ok", "enum 2 -> ok"}},
      {"modes 1024 768 32 60", 75, {"enum 0 -> ok", "enum 1 -> fail"}},
      // A mode that differs only in height.
      {"modes 1024 600 16 60\nmodes 640 480 16 60", 60, {"enum 0 -> ok"}},
  };
  for (const auto &c : cases) {
    SetUp();
    GIVEN(c.modes);
    StartedAs(PlatformNT4, 0, 1024);
    EXPECT_TRUE(ApplyRefreshChoice(8, c.hz)) << c.modes;
    EXPECT_EQ(TakeLines("enum "), c.enums) << c.modes;
  }
}

TEST_F(Apply, Nt4LegacyEndlessModeListIsEnumeratedOnlySoFar) {
  std::string modes = "os nt4\nattached 1\nactive 1\ndesktop 1024 768 16 60\n";
  for (int i = 0; i < 5000; ++i)
    modes += "modes 640 480 8 60\n"; // another depth: never a reason to stop
  GIVEN(modes);
  StartedAs(PlatformNT4, 0, 1024);
  EXPECT_TRUE(ApplyRefreshChoice(8, 75));
  std::vector<std::string> enums = TakeLines("enum ");
  ASSERT_EQ(enums.size(), 4096u);
  EXPECT_EQ(enums.back(), "enum 4095 -> ok");
  EXPECT_EQ(SimCallCount("ChangeDisplaySettingsA"), 1);
}

TEST_F(Apply, SwitchPathsIgnoreTheDriverAndDisplaySettingsResults) {
  GIVEN("result 10 0\nresult 66 0\ncds-result -1");
  StartedAs(PlatformWin9x, 1, 1024);
  EXPECT_TRUE(ApplyRefreshChoice(6, 75));
}

TEST_F(Apply, IdleCrtIsSwitchedOnFirstOnEveryPlatform) {
  for (DWORD platform : {PlatformWin95First, PlatformWin9x, PlatformNT4}) {
    for (DWORD switchDriver : {0u, 1u}) {
      FreshNotebook();
      // No registry keys: the Windows 9x legacy path fails after this.
      GIVEN("desktop 1024 768 16 60\nattached 3\nactive 2");
      StartedAs(platform, switchDriver, 1024, "0001");
      BOOL applied = ApplyRefreshChoice(8, 60);
      Lines escapes = TakeLines("escape ");
      ASSERT_GE(escapes.size(), 3u);
      EXPECT_EQ(escapes[2], "escape 2 3 0 -> 1")
          << "platform " << platform << " switch " << switchDriver;
      EXPECT_EQ(SimDriver().active, 3u);
      if (platform == PlatformWin95First ||
          (platform == PlatformWin9x && !switchDriver)) {
        EXPECT_FALSE(applied) << platform << " " << switchDriver;
      }
    }
  }
}

TEST_F(Apply, ActiveOrAbsentCrtIsLeftAlone) {
  for (const char *displays : {"attached 3\nactive 3", "attached 2\nactive 2",
                               "attached 1\nactive 1"}) {
    FreshNotebook();
    GIVEN(displays);
    StartedAs(PlatformNT4, 1, 1024);
    ApplyRefreshChoice(8, 60);
    for (const std::string &line : TakeLines("escape "))
      EXPECT_NE(line.rfind("escape 2 ", 0), 0u) << displays;
  }
}

TEST_F(Apply, UnmeasurableDesktopChangesNothing) {
  GIVEN("fail GetDC");
  StartedAs(PlatformNT4, 1, 1024);
  EXPECT_FALSE(ApplyRefreshChoice(8, 60));
  EXPECT_EQ(SimCallCount("ChangeDisplaySettingsA"), 0);
  EXPECT_TRUE(TakeLines("escape ").empty());
}

TEST_F(Apply, ScreenMeasuredAsNothingChangesNothing) {
  for (const char *desktop : {"desktop 0 768 16 60", "desktop 1024 0 16 60",
                              "desktop 1024 768 0 60"}) {
    FreshNotebook();
    GIVEN(std::string("attached 3\nactive 3\n") + desktop);
    StartedAs(PlatformNT4, 0, 1024);
    EXPECT_FALSE(ApplyRefreshChoice(8, 60)) << desktop;
    EXPECT_EQ(SimCallCount("ChangeDisplaySettingsA"), 0) << desktop;
    EXPECT_TRUE(OpenCountsAreZero());
  }
}

TEST_F(Apply, Win9xLegacyNeverUsesATextItCouldNotFormat) {
  // Calls of wsprintfA: the default key, the same-image flag, the mode's
  // key, the rate.  Whichever fails, nothing after it is written.
  const struct {
    int failing;
    size_t regsets;
  } cases[] = {{1, 0}, {2, 1}, {3, 2}, {4, 2}};
  for (const auto &c : cases) {
    SetUp();
    StartedAs(PlatformWin9x, 0, 1024, "0001");
    GIVEN(Win9xKeys);
    GIVEN("fail wsprintfA " + std::to_string(c.failing));
    EXPECT_FALSE(ApplyRefreshChoice(8, 75)) << c.failing;
    EXPECT_EQ(TakeLines("regset ").size(), c.regsets) << c.failing;
    EXPECT_EQ(SimCallCount("ChangeDisplaySettingsA"), 0) << c.failing;
  }
}

// Each of the fourteen entries, chosen from the menu and confirmed as a user
// would, asks the switch driver for the size and rate its caption shows.
// Here (switch driver, CRT alone, 1024-pixel panel, 1280x1024 8-bit
// desktop) every entry is enabled.
TEST(MenuChoice, EveryEntryAsksTheDriverForWhatItsCaptionShows) {
  const char notebook[] = "os win98\nswitch first\nlevel 3\nattached 3\n"
                          "active 1\npanel 1024\ndesktop 1280 1024 8 60\n"
                          "---\n";
  FreshNotebook();
  BuildRefreshMenu(NULL);
  std::vector<SimMenuItem> entries = SimMenuItems(MenuHandle);
  DestroyRefreshMenu();
  int chosen = 0;
  for (const SimMenuItem &entry : entries) {
    int width = 0, height = 0, hz = 0;
    if (entry.id == 0 ||
        sscanf(entry.text.c_str(), "%dx%d %dHz", &width, &height, &hz) != 3)
      continue;
    MenuListingEntry name = MenuEntryOf({entry.text, false, false, false});
    std::string scenario = std::string(notebook) + "click left\nchoose " +
                           name.resolution + " " + name.rate + "\nanswer ok";
    ASSERT_EQ(RunScenarioText("choice", scenario, nullptr), 0);
    Lines asked;
    for (const std::string &line : TakeLines("escape 66 ")) {
      int w = 0, h = 0, code = 0, depth = 0, rate = 0;
      sscanf(line.c_str(), "escape 66 %d %d %d %d %d", &w, &h, &code, &depth,
             &rate);
      asked.push_back(std::to_string(w) + "x" + std::to_string(h) + "@" +
                      std::to_string(rate));
    }
    EXPECT_EQ(asked, Lines{std::to_string(width) + "x" +
                           std::to_string(height) + "@" + std::to_string(hz)})
        << entry.id << " " << entry.text;
    ++chosen;
  }
  EXPECT_EQ(chosen, 14);
}
