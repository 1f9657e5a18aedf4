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
    const char *panel;
    LONG mode, hz;
    DWORD height;
    BOOL on;
  } cases[] = {
      {"svga", 5, 60, 480, TRUE},    {"svga", 5, 60, 600, TRUE},
      {"svga", 5, 60, 768, FALSE},   {"svga", 8, 60, 768, TRUE},
      {"svga", 8, 60, 600, FALSE},   {"svga", 6, 60, 600, FALSE},
      {"svga", 10, 60, 1024, FALSE}, {"svga", 6, 72, 600, TRUE},
      {"svga", 8, 100, 768, TRUE},   {"xga", 8, 60, 600, FALSE},
      {"xga", 8, 60, 768, FALSE},    {"xga", 8, 75, 768, TRUE},
      {"xga", 5, 60, 480, TRUE},     {"xga", 6, 60, 600, TRUE},
      {"vga", 8, 60, 768, TRUE},     {"vga", 6, 60, 600, TRUE},
      {"sxga", 8, 60, 768, TRUE},    {"sxga", 5, 60, 480, TRUE},
  };
  for (const auto &c : cases) {
    std::string panel = c.panel;
    PanelIsVga = panel == "vga";
    PanelIsSvga = panel == "svga";
    PanelIsXga = panel == "xga";
    PanelIsSxga = panel == "sxga";
    EXPECT_EQ(ChooseSameImage(c.mode, c.hz, c.height), c.on)
        << c.panel << " mode " << c.mode << " " << c.hz << "Hz height "
        << c.height;
  }
}

TEST_F(Apply, Win9xLegacyStoresTheChoiceByteForByte) {
  StartedAs(PlatformWin9x, 0, 1024, "0001");
  GIVEN(Win9xKeys);
  GIVEN(std::string("value HKLM \"") +
        "System\\\\CurrentControlSet\\\\Services\\\\Class\\\\DISPLAY\\\\0001"
        "\\\\Default\" \"RefreshRate\" sz \"72\"");
  EXPECT_TRUE(ApplyRefreshChoice(8, 75));
  EXPECT_EQ(Stored("HKCC", "Display\\Settings", "CRTResolution"),
            std::string("3:") + '\x08');
  EXPECT_EQ(Stored("HKCC", "Display\\Settings", "Pairlux_SameImage"), "1:ON");
  EXPECT_EQ(Stored("HKLM", ModesKey, "RefreshRate"), "1:75");
  // Put back as read, now without the NUL the other writer had stored.
  EXPECT_EQ(Stored("HKLM", DefaultKey, "RefreshRate"), "1:72");
  EXPECT_EQ(SimCurrentDesktop().hz, 75);
  EXPECT_EQ(SimCurrentDesktop().width, 1024);
  EXPECT_TRUE(TakeLines("escape 10").empty()) << "no mode number on 9x";
  EXPECT_TRUE(OpenCountsAreZero());
}

TEST_F(Apply, Win9xLegacyDefaultRateFallsBackToSixty) {
  StartedAs(PlatformWin9x, 0, 1024, "0001");
  GIVEN(Win9xKeys);
  EXPECT_TRUE(ApplyRefreshChoice(5, 60));
  EXPECT_EQ(Stored("HKLM", DefaultKey, "RefreshRate"), "1:60");
  EXPECT_EQ(Stored("HKLM", ModesKey, "RefreshRate"), "1:60");
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

TEST_F(Apply, Nt4LegacyEnumerationStopsAtAModeOfTheSameDepthThatDiffers) {
  GIVEN("modes 1024 768 16 85\n" // same depth, differs: stop here
        "modes 640 480 16 60\n");
  StartedAs(PlatformNT4, 0, 1024);
  EXPECT_TRUE(ApplyRefreshChoice(8, 75));
  EXPECT_EQ(TakeLines("enum "), (Lines{"enum 0 -> ok"}));

  FreshNotebook();
  GIVEN("desktop 1024 768 16 60\nattached 1\nactive 1\n"
        "modes 1024 768 8 60\n"   // other depth: go on
        "modes 1024 768 16 75\n"  // the request itself: go on
        "modes 800 600 16 75\n"); // same depth, differs: stop
  StartedAs(PlatformNT4, 0, 1024);
  EXPECT_TRUE(ApplyRefreshChoice(8, 75));
  EXPECT_EQ(TakeLines("enum "),
            (Lines{"enum 0 -> ok", "enum 1 -> ok", "enum 2 -> ok"}));

  FreshNotebook();
  GIVEN("desktop 1024 768 16 60\nattached 1\nactive 1\n"
        "modes 1024 768 32 60\n");
  StartedAs(PlatformNT4, 0, 1024);
  EXPECT_TRUE(ApplyRefreshChoice(8, 75));
  EXPECT_EQ(TakeLines("enum "), (Lines{"enum 0 -> ok", "enum 1 -> fail"}));

  FreshNotebook(); // a mode that differs only in height
  GIVEN("desktop 1024 768 16 60\nattached 1\nactive 1\n"
        "modes 1024 600 16 60\nmodes 640 480 16 60\n");
  StartedAs(PlatformNT4, 0, 1024);
  EXPECT_TRUE(ApplyRefreshChoice(8, 60));
  EXPECT_EQ(TakeLines("enum "), (Lines{"enum 0 -> ok"}));
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

TEST_F(Apply, SwitchPathsSendModeThenRateInTheirOwnNumbering) {
  const struct {
    DWORD platform;
    LONG mode, hz;
    const char *modeRequest, *rateRequest, *cds;
  } cases[] = {
      {PlatformWin9x, 5, 72, "escape 10 6 -> 1",
       "escape 66 640 480 6 16 72 -> 1", "cds 0x00000001 1024x768x16@72 -> 0"},
      {PlatformWin9x, 10, 60, "escape 10 15 -> 1",
       "escape 66 1280 1024 15 16 60 -> 1",
       "cds 0x00000001 1024x768x16@60 -> 0"},
      {PlatformNT4, 6, 85, "escape 10 2 -> 1", "escape 66 800 600 2 16 85 -> 1",
       "cds 0x40000001 1024x768x16@85 -> 0"},
      {PlatformNT4, 8, 70, "escape 10 3 -> 1",
       "escape 66 1024 768 3 16 70 -> 1", "cds 0x40000001 1024x768x16@70 -> 0"},
  };
  for (const auto &c : cases) {
    SetUp();
    StartedAs(c.platform, 1, 1024);
    EXPECT_TRUE(ApplyRefreshChoice(c.mode, c.hz));
    Lines escapes, cds;
    for (const std::string &line : TakeLines()) {
      if (line.rfind("escape 10 ", 0) == 0 || line.rfind("escape 66 ", 0) == 0)
        escapes.push_back(line);
      if (line.rfind("cds ", 0) == 0)
        cds.push_back(line);
    }
    EXPECT_EQ(escapes, (Lines{c.modeRequest, c.rateRequest}))
        << c.mode << " " << c.hz;
    EXPECT_EQ(cds, Lines{c.cds}) << c.mode << " " << c.hz;
  }
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
