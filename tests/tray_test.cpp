// Finding the mode in force when the menu opens, on each platform and
// driver generation, from whatever the registry and driver hold.
#include "harness/test_support.h"

namespace {

// A Windows 98 notebook with the older driver and the CRT alone on an
// 800x600 desktop, where the whole 800x600 row is allowed.
void LegacyWin98() {
  GIVEN("os win98\nattached 3\nactive 1\ndesktop 800 600 8 60\n"
        "key HKCC \"Display\\\\Settings\"");
  StartedAs(PlatformWin9x, 0, 800);
}

} // namespace

// The resolution is the first byte of CRTResolution, whatever its type;
// the rate text converts like a signed decimal.
TEST(ModeInForce, Win9xLegacyFromTheResolutionByteAndTheRateText) {
  // The longest value the registry helpers take: 255 bytes, NUL included.
  const std::string longest = "sz \"" + std::string(252, ' ') + "75\"";
  const struct {
    const char *resolution, *rate; // NULL: no value
    DWORD checked;
  } cases[] = {
      {"binary 06", "sz \"-1\"", 9004},      // adapter default: 60 Hz
      {"binary 06", "sz-bare \"-1\"", 9004}, // the same without a NUL
      {"binary 06", "sz \"75\"", 9006},
      {"binary 06", "sz \"085\"", 9007},
      {"binary 06", "sz \"  +72Hz\"", 9005}, // blanks, sign, stops at 'H'
      {"binary 06", "sz \"70\"", 9005},      // 70 and 72 share the second place
      {"binary 06", "sz \"-1 \"", 0},        // not exactly "-1": it is -1 Hz
      {"binary 06", "sz \"\"", 0},
      {"binary 06", "sz \"abc\"", 0},
      {"binary 06", "sz \"100\"", 0},  // no 800x600 100 Hz entry
      {"binary 05", "sz \"1009\"", 0}, // not 100 Hz: every digit counts
      {"binary 0a", "sz \"72\"", 0},   // 1280x1024 has 60 Hz alone
      {"binary 06", longest.c_str(), 9006},
      {"binary 06", "sz \"4294967356\"", 0}, // too large: must not wrap to 60
      {"binary 06", "sz \"\\x0975\"", 9006}, // a tab first, as atol skips it
      {"binary 06", "sz \"\\x0d\\n\\x0b\\x0c 72\"", 9005}, // other blanks
      {"binary 06", "sz \"\\x0875\"", 0}, // backspace is no blank: no rate
      {"binary 06", "sz \"-7\"", 0}, // negative, and not the default's "-1"
      {"binary 06", NULL, 0},
      {"dword 6", "sz \"75\"", 9006},
      {"binary 06 08", "sz \"75\"", 9006},
      {"sz \"6\"", "sz \"75\"", 0},     // the character '6'
      {"binary", "sz \"75\"", 0},       // empty: no mode in force
      {NULL, "sz \"72\"", 0},           // none: no row, whatever the rate
      {"binary 08", "sz \"75\"", 9010}, // checked, though greyed here
  };
  for (const auto &c : cases) {
    std::string what = std::string(c.resolution ? c.resolution : "(missing)") +
                       " / " + (c.rate ? c.rate : "(missing)");
    FreshNotebook();
    LegacyWin98();
    if (c.resolution)
      GIVEN(
          std::string("value HKCC \"Display\\\\Settings\" \"CRTResolution\" ") +
          c.resolution);
    if (c.rate)
      GIVEN(std::string("value HKCC \"Display\\\\Settings\" \"RefreshRate\" ") +
            c.rate);
    EXPECT_EQ(CheckedAfterOpening(), c.checked) << what;
    EXPECT_TRUE(OpenCountsAreZero()) << what;
  }
}

// The older driver on NT 4.0 names its mode, the screen its rate; the
// switch driver answers both in its own numbering (on a 16-bit desktop).
TEST(ModeInForce, Nt4LegacyAndSwitchDriverAskTheDriver) {
  const struct {
    DWORD platform, switchDriver;
    const char *given;
    DWORD checked;
  } cases[] = {
      {PlatformNT4, 0, "mode 8\ndesktop 1024 768 8 75", 9010},
      // The "default" rate: the 60 Hz entry.
      {PlatformNT4, 0, "mode 8\ndesktop 1024 768 8 0", 9008},
      {PlatformNT4, 0, "mode 8\ndesktop 1024 768 8 56", 9008},
      {PlatformNT4, 0, "mode 0x00010006\ndesktop 1024 768 8 72", 9005},
      {PlatformNT4, 0, "mode 8\nresult 9 0\ndesktop 1024 768 8 75", 0},
      // Not a mode number of the older driver.
      {PlatformNT4, 0, "mode 13\ndesktop 1024 768 8 75", 0},
      {PlatformWin9x, 1, "mode 10\nrates 72 60 72", 9005},
      {PlatformWin9x, 1, "mode 2\nrates 60", 0},  // no conversion on 9x
      {PlatformNT4, 1, "mode 2\nrates 60", 9004}, // NT's 2 is 800x600
      {PlatformNT4, 1, "mode 3\nrates 85", 9011},
      {PlatformNT4, 1, "mode 5\nrates 60", 0},                 // its fifth mode
      {PlatformNT4, 1, "mode 3\nrates 85\nresult 65 0", 9008}, // rate 0
      {PlatformWin9x, 1, "mode 13\nrates 85\nresult 65 0", 0},
      {PlatformWin9x, 1, "mode 6\nrates 60\nresult 9 0", 0}, // mode unread
  };
  for (const auto &c : cases) {
    FreshNotebook();
    GIVEN(std::string(c.switchDriver
                          ? "attached 3\nactive 1\ndesktop 1024 768 16 60\n"
                          : "os nt4\nattached 3\nactive 1\n") +
          c.given);
    StartedAs(c.platform, c.switchDriver, 1024);
    EXPECT_EQ(CheckedAfterOpening(), c.checked) << c.given;
  }
}

// The desktop measured at one opening and not at the next: the mark the
// first left must not stay on the greyed entry.
TEST(ModeInForce, UnmeasuredDesktopOpensTheMenuWithNothingToChoose) {
  FreshNotebook();
  LegacyWin98();
  GIVEN("value HKCC \"Display\\\\Settings\" \"CRTResolution\" binary 06\n"
        "value HKCC \"Display\\\\Settings\" \"RefreshRate\" sz \"75\"");
  BuildRefreshMenu(NULL);
  OpenModeMenu(NULL);
  ASSERT_EQ(GetMenuState(MenuHandle, 9006, MF_BYCOMMAND) & MF_CHECKED,
            UINT(MF_CHECKED));
  GIVEN("fail GetDC " + std::to_string(SimCallCount("GetDC") + 1));
  OpenModeMenu(NULL);
  for (const SimMenuItem &item : SimMenuItems(MenuHandle)) {
    if (item.id != 0) {
      EXPECT_EQ(item.state & (MF_GRAYED | MF_CHECKED), UINT(MF_GRAYED))
          << item.id;
    }
  }
  EXPECT_EQ(SimCallCount("TrackPopupMenu"), 2) << "the menu still opens";
  DestroyRefreshMenu();
  EXPECT_TRUE(OpenCountsAreZero());
}

TEST(MissingDriver, UnformattableTextShowsAnEmptyBoxNotGarbage) {
  FreshNotebook();
  GIVEN("os win98\ndriver missing\nfail wsprintfA");
  PlatformClass = PlatformWin9x;
  AnswerEveryModal(IDOK);
  OpenModeMenu(NULL);
  EXPECT_EQ(TakeLines("box "),
            (std::vector<std::string>{"box 0 \"CRT/懸掛式投影機\" \"\"",
                                      "box -> 1"}));
}

// A right press holds its menu back for the double-click time, on a timer of
// the main window, so that the second press of a double-click can arrive.
TEST(RightClick, MenuWaitsForTheDoubleClickTime) {
  // Steps, each handed to the main window in turn: 'L' left press, 'R'
  // right press, 'D' right double-click, 'T' a WM_TIMER of the right-click
  // timer, 'O' one of another timer; 'W' the user pauses: the queue runs
  // until it is empty and every timer that comes due has fired.
  const struct {
    const char *given; // besides an answering Windows 98 notebook
    DWORD ready;       // DriverReady
    const char *steps;
    int tracks, shells, boxes, timers; // timers: still running at the end
  } cases[] = {
      {"", 1, "R", 0, 0, 0, 1},    // waiting
      {"", 1, "RW", 1, 0, 0, 0},   // the time passed: the menu, no timer
      {"", 1, "RDW", 0, 1, 0, 0},  // a double-click: the applet alone
      {"", 1, "RDTW", 0, 1, 0, 0}, // a WM_TIMER left behind opens nothing
      {"", 1, "RT", 1, 0, 0, 0},
      {"", 1, "T", 0, 0, 0, 0},
      {"", 1, "RO", 0, 0, 0, 1},  // not ours: the right click still waits
      {"", 1, "L", 1, 0, 0, 0},   // the left button opens at once
      {"", 1, "RRW", 1, 0, 0, 0}, // a second press starts the time afresh
      {"", 0, "RW", 0, 0, 1, 0},  // no driver: the box instead
      {"", 0, "RDW", 0, 1, 0, 0},
      {"fail SetTimer", 1, "R", 1, 0, 0, 0}, // no timer: at once
      {"fail SetTimer", 1, "RDW", 1, 1, 0, 0},
      {"fail GetDoubleClickTime", 1, "RW", 1, 0, 0, 0},
  };
  for (const auto &c : cases) {
    FreshNotebook();
    GIVEN(std::string("os win98\nattached 3\nactive 3\n") + c.given);
    AppInstance = SimInstance();
    PlatformClass = PlatformWin9x;
    DriverReady = c.ready;
    PanelWidth = 800;
    SetPanelClass();
    ASSERT_NE(RegisterMainWindowClass(AppInstance), 0);
    HWND window = CreateWindowExA(0, MainWindowName, MainWindowName, 0, 0, 0, 0,
                                  0, NULL, NULL, AppInstance, NULL);
    ASSERT_NE(window, nullptr);
    AnswerEveryModal(IDOK);
    for (const char *step = c.steps; *step; ++step) {
      if (*step == 'W') {
        MSG msg;
        while (GetMessageA(&msg, NULL, 0, 0) > 0)
          DispatchMessageA(&msg);
      } else if (*step == 'T' || *step == 'O') {
        MainWindowProc(window, WM_TIMER,
                       *step == 'O' ? UINT_PTR(77) : RightClickTimer, 0);
      } else {
        LPARAM mouse = *step == 'L'   ? WM_LBUTTONDOWN
                       : *step == 'R' ? WM_RBUTTONDOWN
                                      : WM_RBUTTONDBLCLK;
        MainWindowProc(window, TrayCallbackMessage, TrayCallbackMessage, mouse);
      }
    }
    std::string what = std::string(c.given) + " " + c.steps;
    EXPECT_EQ(SimCallCount("TrackPopupMenu"), c.tracks) << what;
    EXPECT_EQ(SimCallCount("ShellExecuteA"), c.shells) << what;
    EXPECT_EQ(SimCallCount("MessageBoxA"), c.boxes) << what;
    EXPECT_EQ(SimTimerCount(), c.timers) << what;
    DestroyWindow(window);
    EXPECT_EQ(SimTimerCount(), 0) << what;
  }
}

TEST(ModeInForce, ScreenDcRefusedForTheNtRateLeavesNothingOpen) {
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

TEST(TrayIcon, CanBeModifiedInPlace) {
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

// An add the shell refuses at creation is tried again on the main window's
// timer, thirty times (a minute at 2 s), and then no more; the shell's
// "TaskbarCreated" adds the icon still.
TEST(TrayIcon, RefusedAddIsTriedAgainForAMinute) {
  const struct {
    int refusals, adds; // adds: NIM_ADD calls after 40 timer ticks
    bool shown;
    const char *given;
  } cases[] = {{0, 1, true, ""},
               {1, 2, true, ""},
               {30, 31, true, ""},
               {31, 31, false, ""},
               {1, 1, false, "fail SetTimer"}}; // no timer: no second try
  for (const auto &c : cases) {
    FreshNotebook();
    GIVEN("os nt4\nattached 3\nactive 1\nshell refuses " +
          std::to_string(c.refusals) + "\n" + c.given);
    StartedAs(PlatformNT4, 0, 1024);
    ASSERT_NE(RegisterMainWindowClass(AppInstance), 0);
    HWND window = CreateWindowExA(0, MainWindowName, MainWindowName, 0, 0, 0, 0,
                                  0, NULL, NULL, AppInstance, NULL);
    for (int tick = 0; tick < 40; ++tick)
      MainWindowProc(window, WM_TIMER, TrayRetryTimer, 0);
    EXPECT_EQ(TakeLines("tray add ").size(), size_t(c.adds)) << c.refusals;
    EXPECT_EQ(SimTrayIconCount(), c.shown ? 1 : 0) << c.refusals;
    EXPECT_EQ(SimTimerCount(), 0) << c.refusals;
    if (!c.shown) {
      UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
      MainWindowProc(window, taskbarCreated, 0, 0);
      EXPECT_EQ(SimTrayIconCount(), 1) << c.refusals;
    }
    DestroyWindow(window);
  }
}
