// Answers the other suites do not give: mode numbers outside the NT switch
// driver's range, an enumeration that never stops, a mode list that differs
// only in height, a screen DC refused while the menu opens, and the calls
// only a direct caller makes.
#include "harness/test_support.h"

// The NT switch driver's own numbers are 1-5; any other number it reports
// is passed on as it came, so one that happens to be a Windows 9x switch
// number names that resolution, and any other names none: the rate query
// then has width and height 0 and the number as the driver gave it.
TEST(UnusualAnswers, NtSwitchModeNumbersOutsideItsRangePassThrough) {
  const struct {
    const char *mode;
    DWORD checked;
    const char *record;
  } cases[] = {{"0", 0, "escape 65 1 0 0 "},
               {"7", 0, "escape 65 1 0 0 "},
               {"0xFFFF", 0, "escape 65 1 0 0 "},
               {"6", 9000, "escape 65 1 640 480 6 "},
               {"10", 9004, "escape 65 1 800 600 10 "},
               {"13", 9008, "escape 65 1 1024 768 13 "},
               {"15", 9014, "escape 65 1 1280 1024 15 "}};
  for (const auto &c : cases) {
    FreshNotebook();
    GIVEN(std::string("os nt4\nlevel 3\nattached 3\nactive 1\n"
                      "desktop 1024 768 16 60\nrates 60\nmode ") +
          c.mode);
    StartedAs(PlatformNT4, 1, 1024);
    EXPECT_EQ(CheckedAfterOpening(), c.checked) << c.mode;
    std::vector<std::string> query = TakeLines("escape 65 ");
    ASSERT_EQ(query.size(), 1u) << c.mode;
    EXPECT_EQ(query[0].rfind(c.record, 0), 0u) << query[0];
  }
}

TEST(UnusualAnswers, ScreenDcRefusedForTheNtRateLeavesNothingOpen) {
  FreshNotebook();
  // The first GetDC measures the desktop, the second reads the rate.
  GIVEN("os nt4\nattached 3\nactive 1\nmode 8\ndesktop 1024 768 16 75\n"
        "fail GetDC 2");
  StartedAs(PlatformNT4, 0, 1024);
  DWORD checked = CheckedAfterOpening();
  // Whichever entry the unknown rate lands on, it is in the row of the
  // resolution the driver named.
  EXPECT_TRUE(checked == 0 || (checked >= 9008 && checked <= 9011)) << checked;
  EXPECT_EQ(SimCallCount("GetDC"), 2);
  EXPECT_TRUE(OpenCountsAreZero());
}

TEST(UnusualAnswers, EndlessModeListIsEnumeratedOnlySoFar) {
  FreshNotebook();
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

TEST(UnusualAnswers, EnumerationStopsAtAModeThatDiffersOnlyInHeight) {
  FreshNotebook();
  GIVEN("os nt4\nattached 1\nactive 1\ndesktop 1024 768 16 60\n"
        "modes 1024 600 16 60\nmodes 640 480 16 60\n");
  StartedAs(PlatformNT4, 0, 1024);
  EXPECT_TRUE(ApplyRefreshChoice(8, 60));
  EXPECT_EQ(TakeLines("enum "), std::vector<std::string>{"enum 0 -> ok"});
}

TEST(UnusualAnswers, CommandZeroNamesNoMode) {
  DWORD mode = 77, hz = 77;
  EXPECT_FALSE(CommandToMode(0, &mode, &hz));
  EXPECT_FALSE(CommandToMode(9013, &mode, &hz));
  EXPECT_EQ(mode, 77u);
  EXPECT_EQ(hz, 77u);
}

TEST(UnusualAnswers, TrayIconCanBeModifiedInPlace) {
  FreshNotebook();
  DriverReady = 1;
  SetTrayIcon(NULL, NIM_ADD);
  SetTrayIcon(NULL, NIM_MODIFY);
  SetTrayIcon(NULL, NIM_DELETE);
  std::vector<std::string> tray = TakeLines("tray ");
  ASSERT_EQ(tray.size(), 3u);
  EXPECT_EQ(tray[1].rfind("tray modify icon=8110 tip=", 0), 0u) << tray[1];
  EXPECT_EQ(SimTrayIconCount(), 0);
  EXPECT_EQ(SimCallCount("LoadImageA"), SimCallCount("DestroyIcon"));
}
