// The end-of-run rules that the fuzzer, the fault sweep and the long run
// judge by: each breaks on what it names, and a failed call excuses only
// what it kept.
#include "harness/test_support.h"

namespace {

const char kEnded[] = "exit 0\nopen dc=0 key=0 device=0 menu=0\n";
const char kHung[] = "hang: the message loop waits on with no window left\n"
                     "exit 0\nopen dc=0 key=0 device=0 menu=0\n";
const char kTwoMarks[] = "menu 640x480: 60* 72\nmenu 800x600: (60*)\n"
                         "exit 0\nopen dc=0 key=0 device=0 menu=0\n";

void TrayIcon() {
  NOTIFYICONDATAA data = {};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  Shell_NotifyIconA(NIM_ADD, &data);
}

} // namespace

TEST(EndOfRunRules, BreakOnWhatTheyNameUnlessAFailedCallKeptIt) {
  const struct {
    const char *faults;
    void (*run)();
    const char *transcript;
    const char *broken; // the rules broken, in order
  } cases[] = {
      {"", [] {}, kEnded, ""},
      {"", [] {}, "exit 1\nopen dc=0 key=0 device=0 menu=0\n", "exit"},
      {"", [] {}, "> quit 7\nexit 7\nopen dc=0 key=0 device=0 menu=0\n", ""},
      {"", [] {}, "> quit 7\nexit 8\nopen dc=0 key=0 device=0 menu=0\n",
       "exit"},
      {"", [] {}, "open dc=0 key=0 device=0 menu=0\nexit 0\n", "exit"},
      {"", [] { GetDC(NULL); }, kEnded, "open"},
      {"fail ReleaseDC", [] { ReleaseDC(NULL, GetDC(NULL)); }, kEnded, ""},
      {"fail ReleaseDC 1",
       [] {
         ReleaseDC(NULL, GetDC(NULL));
         GetDC(NULL);
       },
       kEnded, "open"},
      {"fail DestroyMenu", [] { CreatePopupMenu(); }, kEnded, "open"},
      {"fail IsWindow", [] { IsWindow(NULL), CreatePopupMenu(); }, kEnded, ""},
      {"", TrayIcon, kEnded, "icon"},
      {"fail DestroyWindow", [] { DestroyWindow(NULL), TrayIcon(); }, kEnded,
       ""},
      {"", [] {}, kHung, "quit"},
      {"fail PostQuitMessage", [] { PostQuitMessage(0); }, kHung, ""},
      {"", [] {}, kTwoMarks, "menu"},
      {"fail CheckMenuItem", [] { CheckMenuItem(NULL, 0, 0); }, kTwoMarks, ""},
      {"", [] {},
       "menu 640x480: 60*\ntrack 8 0 0\nmenu 640x480: 72*\nexit 0\n"
       "open dc=0 key=0 device=0 menu=0\n",
       ""},
      {"", [] {},
       "tracked menu destroyed\nexit 0\nopen dc=0 key=0 device=0 menu=0\n",
       "tracked"},
  };
  for (const auto &c : cases) {
    FreshNotebook();
    GIVEN(c.faults);
    c.run();
    std::string broken;
    for (const std::string &rule : EndOfRunBreaks(c.transcript))
      broken += (broken.empty() ? "" : " ") + rule.substr(0, rule.find(':'));
    EXPECT_EQ(broken, c.broken) << c.faults << " / " << c.transcript;
  }
}
