// Platform classification and the panel class recorded at start-up.
#include "tests/test_support.h"

struct VersionCase {
  int platformId, major, minor;
  const char *csd;
  DWORD expected;
};

TEST(Startup, PlatformClassByVersionAndServiceString) {
  const VersionCase cases[] = {
      {1, 4, 0, "", PlatformWin95First},
      {1, 4, 0, " A", PlatformWin95First},
      {1, 4, 0, "A", PlatformWin95First},
      {1, 4, 0, "a", PlatformWin95First},
      {1, 4, 0, " a", PlatformWin95First},
      {1, 4, 0, " B", PlatformWin9x},
      {1, 4, 0, "B", PlatformWin9x},
      {1, 4, 0, " b", PlatformWin9x},
      {1, 4, 0, " C", PlatformWin9x},
      {1, 4, 0, "c", PlatformWin9x},
      {1, 4, 0, " D", PlatformUnsupported},
      {1, 4, 0, " A ", PlatformUnsupported}, // compared whole
      {1, 4, 0, "B ", PlatformUnsupported},
      {1, 4, 10, " A ", PlatformWin9x},
      {1, 4, 10, "anything", PlatformWin9x},
      {1, 4, 90, " ", PlatformUnsupported},
      {1, 3, 10, "", PlatformUnsupported},
      {2, 4, 0, "", PlatformNT4},
      {2, 4, 0, "Service Pack 6", PlatformNT4},
      {2, 3, 51, "", PlatformUnsupported},
      {2, 5, 0, "Service Pack 4", PlatformUnsupported},
      {0, 4, 0, "", PlatformUnsupported},
      {3, 4, 0, "", PlatformUnsupported},
  };
  for (const VersionCase &c : cases) {
    FreshNotebook();
    GIVEN("os " + std::to_string(c.platformId) + " " + std::to_string(c.major) +
          " " + std::to_string(c.minor) + " \"" + c.csd + "\"");
    EXPECT_EQ(ClassifyPlatform(), c.expected)
        << c.platformId << " " << c.major << "." << c.minor << " \"" << c.csd
        << "\"";
  }
}

TEST(Startup, FailedVersionQueryIsUnsupported) {
  FreshNotebook();
  GIVEN("os nt4\nfail GetVersionExA");
  EXPECT_EQ(ClassifyPlatform(), PlatformUnsupported);
}

TEST(Startup, ExactlyOnePanelClassByWidth) {
  const struct {
    WORD width;
    const char *panel;
  } cases[] = {{0, "svga"},    {640, "vga"},   {800, "svga"},
               {1024, "xga"},  {1152, "svga"}, {1200, "sxga"},
               {1280, "sxga"}, {1600, "svga"}, {0xFFFF, "svga"}};
  for (const auto &c : cases) {
    FreshNotebook();
    PanelWidth = c.width;
    PanelIsXga = 1; // a stale flag must not survive
    SetPanelClass();
    std::string got = std::string(PanelIsVga ? "vga" : "") +
                      (PanelIsSvga ? "svga" : "") + (PanelIsXga ? "xga" : "") +
                      (PanelIsSxga ? "sxga" : "");
    EXPECT_EQ(got, c.panel) << c.width;
  }
}
