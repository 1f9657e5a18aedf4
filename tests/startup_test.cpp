// Platform classification and the panel class recorded at start-up.
#include "harness/test_support.h"

// Versions as the "os" statement gives them (platform, major, minor, service
// string), by the class each must get; on Windows 95 the service string is
// compared whole (" A " is no " A").
TEST(Startup, PlatformClassByVersionAndServiceString) {
  const struct {
    DWORD expected;
    std::vector<const char *> versions;
  } cases[] = {
      {PlatformWin95First,
       {R"(1 4 0 "")", R"(1 4 0 " A")", R"(1 4 0 "A")", R"(1 4 0 "a")",
        R"(1 4 0 " a")"}},
      {PlatformWin9x,
       {R"(1 4 0 " B")", R"(1 4 0 "B")", R"(1 4 0 " b")", R"(1 4 0 " C")",
        R"(1 4 0 "c")", R"(1 4 10 " A ")", R"(1 4 10 "anything")"}},
      {PlatformNT4, {R"(2 4 0 "")", R"(2 4 0 "Service Pack 6")"}},
      {PlatformUnsupported,
       {R"(1 4 0 " D")", R"(1 4 0 " A ")", R"(1 4 0 "B ")", R"(1 4 90 " ")",
        R"(1 3 10 "")", R"(2 3 51 "")", R"(2 5 0 "Service Pack 4")",
        R"(0 4 0 "")", R"(3 4 0 "")"}},
  };
  for (const auto &c : cases)
    for (const char *version : c.versions) {
      FreshNotebook();
      GIVEN(std::string("os ") + version);
      EXPECT_EQ(ClassifyPlatform(), c.expected) << version;
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

// The process's exit code is the wParam of the quit that ended its loop,
// whoever posted it.
TEST(Startup, ExitCodeIsTheQuitsWParam) {
  for (int code : {0, 3, 255}) {
    ASSERT_EQ(RunScenarioText("quit",
                              "os win98\nattached 3\nactive 3\n---\n"
                              "quit " +
                                  std::to_string(code) + "\n",
                              nullptr),
              0);
    Lines lines = TakeLines("exit ");
    EXPECT_EQ(lines, Lines{"exit " + std::to_string(code)});
  }
}
