// The display driver's requests and the switch-device probe, held against
// the wire format the drivers implement.
#include "harness/test_support.h"

using DriverRequests = FreshNotebookTest;

TEST_F(DriverRequests, SixteenBitRepliesTakeTheLowHalfOnly) {
  GIVEN("reply 9 0x00010006\nreply 7 0x00010003\nreply 1 0x00010002 7");
  WORD mode = 0, attached = 0, active = 0;
  EXPECT_TRUE(GetModeNumber(&mode));
  EXPECT_TRUE(GetAttachedDisplays(&attached));
  EXPECT_TRUE(GetActiveDisplays(&active));
  EXPECT_EQ(mode, 6);
  EXPECT_EQ(attached, 3);
  EXPECT_EQ(active, 2);
  EXPECT_EQ(TakeLines("escape "),
            (Lines{"escape 9 -> 1", "escape 7 -> 1", "escape 1 -> 1"}));
}

TEST_F(DriverRequests, OnlyExactlyOneIsSuccessAndFailuresLeaveOutputs) {
  // The simulated driver writes its reply whatever it returns, so a request
  // that trusted a failed reply would change the out-value.
  for (int result : {0, 2, -1, 0x101}) {
    FreshNotebook();
    std::string r = std::to_string(result);
    GIVEN("attached 3\nactive 3\nmode 8\nlevel 3\nresult 7 " + r +
          "\nresult 1 " + r + "\nresult 9 " + r + "\nresult 28 " + r);
    WORD attached = 0xBEEF, active = 0xBEEF, mode = 0xBEEF;
    DWORD level = 0xBEEF;
    EXPECT_FALSE(GetAttachedDisplays(&attached)) << result;
    EXPECT_FALSE(GetActiveDisplays(&active)) << result;
    EXPECT_FALSE(GetModeNumber(&mode)) << result;
    EXPECT_FALSE(GetDriverLevel(&level)) << result;
    EXPECT_EQ(attached, 0xBEEF) << result;
    EXPECT_EQ(active, 0xBEEF) << result;
    EXPECT_EQ(mode, 0xBEEF) << result;
    EXPECT_EQ(level, 0xBEEFu) << result;
  }
}

TEST_F(DriverRequests, SixteenBitParametersAreSentZeroExtended) {
  EXPECT_TRUE(SetModeNumber(0xABCD010F));
  EXPECT_TRUE(SetActiveDisplays(0x00070003, 0x10000));
  EXPECT_EQ(TakeLines("escape "),
            (Lines{"escape 10 271 -> 1", "escape 2 3 0 -> 1"}));
  EXPECT_EQ(SimDriver().mode, 271u);
  EXPECT_EQ(SimDriver().active, 3u);
}

TEST_F(DriverRequests, RefreshRateListStopsAtTheFirstZero) {
  GIVEN("rates 75 60 72 75 85 0 90");
  DriverMode mode = {800, 600, 10, 16, 0};
  DWORD refresh = 0;
  DWORD rates[20];
  EXPECT_TRUE(GetRefreshRates(1, &mode, &refresh, rates));
  EXPECT_EQ(refresh, 75u);
  EXPECT_EQ(std::vector<DWORD>(rates, rates + 5),
            (std::vector<DWORD>{60, 72, 75, 85, 0}));
  EXPECT_EQ(TakeLines("escape "), (Lines{"escape 65 1 800 600 10 16 0 -> 1"}));
}

TEST_F(DriverRequests, RefreshRateListEdges) {
  DriverMode mode = {640, 480, 6, 8, 0};
  DWORD rates[20];

  GIVEN("rates 70 0 60");
  DWORD refresh = 0;
  EXPECT_TRUE(GetRefreshRates(1, &mode, &refresh, rates));
  EXPECT_EQ(refresh, 70u);
  EXPECT_EQ(rates[0], 0u) << "a 0 in word 1 is an empty list";

  FreshNotebook();
  GIVEN("rates 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20");
  rates[19] = 0xFFFF;
  EXPECT_TRUE(GetRefreshRates(1, &mode, &refresh, rates));
  for (DWORD i = 0; i < 19; ++i)
    EXPECT_EQ(rates[i], i + 2) << i;
  EXPECT_EQ(rates[19], 0u) << "19 rates at most, then the terminator";

  FreshNotebook();
  GIVEN("rates 85 60 72\nresult 65 0");
  refresh = 33;
  rates[0] = 0xFFFF;
  EXPECT_FALSE(GetRefreshRates(1, &mode, &refresh, rates));
  EXPECT_EQ(refresh, 33u);
  EXPECT_EQ(rates[0], 0u);
}

TEST_F(DriverRequests, NoDisplayContextMeansNoRequest) {
  GIVEN("attached 3\nfail CreateDCA");
  WORD attached = 0;
  EXPECT_FALSE(GetAttachedDisplays(&attached));
  EXPECT_EQ(SimCallCount("ExtEscape"), 0);
  EXPECT_TRUE(TakeLines("escape ").empty());
  EXPECT_TRUE(OpenCountsAreZero());
}

struct DisplayStateCase {
  const char *given;
  DWORD crtActive, crtIdle, lcdActive;
};

TEST_F(DriverRequests, DisplayStateFromAttachedAndActiveMasks) {
  const DisplayStateCase cases[] = {
      {"attached 1\nactive 0", 0, 1, 0},
      {"attached 3\nactive 2", 0, 1, 1},
      {"attached 2\nactive 3", 0, 0, 1},
      {"attached 3\nactive 3", 1, 0, 1},
      {"attached 1\nactive 1", 1, 0, 0},
      {"attached 12\nactive 15", 0, 0, 0},
      {"attached 0\nactive 3", 0, 0, 0},
      // A mask the driver did not deliver counts as no device.
      // Without the active mask an attached CRT is not taken for idle.
      {"attached 3\nactive 3\nresult 1 0", 0, 0, 0},
      {"attached 3\nactive 3\nresult 7 0", 0, 0, 0},
      {"attached 3\nactive 3\ndriver missing", 0, 0, 0},
  };
  for (const DisplayStateCase &c : cases) {
    FreshNotebook();
    CrtActive = CrtIdle = LcdActive = 7; // every flag is rewritten
    GIVEN(c.given);
    RefreshDisplayState();
    EXPECT_EQ(CrtActive, c.crtActive) << c.given;
    EXPECT_EQ(CrtIdle, c.crtIdle) << c.given;
    EXPECT_EQ(LcdActive, c.lcdActive) << c.given;
  }
}

struct ProbeCase {
  std::string given;
  DWORD switchPresent;
  std::string keyName;
  int ioctls;
};

TEST_F(DriverRequests, SwitchProbeFindsTheDeviceAndCutsTheKeyName) {
  const std::string long300(300, 'x');
  const ProbeCase cases[] = {
      {"switch none", 0, "", 0},
      {"switch first\nswitch-fail 2", 1, "Z", 2},
      {"switch second\nswitch-text \"0123456789AB\"", 0, "89AB", 4},
      {"switch first\nswitch-text \"0123456789AB\"", 1, "89AB", 4},
      {"switch first\nswitch-text \"01234567\"", 1, "", 4},
      {"switch first\nswitch-text \"012345678\"", 1, "8", 4},
      {"switch first\nswitch-text \"0123456789\"\nswitch-fail 3", 1, "", 4},
      {"switch first\nswitch-text \"0123456789\"\nswitch-fail 1 4", 1, "89", 4},
      // A reply that fills all 255 bytes without a terminator.
      {"switch first\nswitch-text \"" + long300 + "\"", 1,
       std::string(255 - 8, 'x'), 4},
  };
  for (const ProbeCase &c : cases) {
    FreshNotebook();
    GIVEN(c.given);
    DriverKeyName[0] = 'Z';
    DriverKeyName[1] = 0;
    ProbeSwitchDriver();
    EXPECT_EQ(SwitchDriverPresent, c.switchPresent) << c.given;
    if (c.ioctls == 4) // the class-key request was made
      EXPECT_EQ(std::string(DriverKeyName), c.keyName) << c.given;
    else
      EXPECT_EQ(std::string(DriverKeyName), "Z") << "left alone: " << c.given;
    EXPECT_EQ(SimCallCount("DeviceIoControl"), c.ioctls) << c.given;
    EXPECT_TRUE(OpenCountsAreZero()) << "device closed: " << c.given;
  }
}

// The NT switch driver's own numbers are 1-5; any other number it reports
// is passed on as it came, so one that happens to be a Windows 9x switch
// number names that resolution, and any other names none: the rate query
// then has width and height 0 and the number as the driver gave it.
TEST_F(DriverRequests, NtSwitchModeNumbersOutsideItsRangePassThrough) {
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
