// A working day in the tray: ten thousand openings of the menu and a
// thousand choices applied, played through the scenario runner in-process.
// The end-of-run rules hold, nothing may pile up (handles, icons, tray
// entries), every choice must be applied and then checked, and the last
// menu must be the first one again.
#include "harness/runner.h"
#include "harness/test_support.h"

namespace {

const int kOpenings = 10000;
const int kChoices = 1000;

struct Notebook {
  const char *name;
  // The golden scenario whose notebook (its statements, not its story) the
  // day is spent on.
  const char *scenario;
  // Entries the menu enables there, to choose from in turn; the first is
  // the mode in force at the start, and the day ends by choosing it again.
  std::vector<std::string> entries;
};

const Notebook kNotebooks[] = {
    // The demo notebook: older driver, 1024-pixel panel, projector beside
    // the panel at 1024x768 60 Hz, registry as the Display control panel
    // leaves it.
    {"Win98Legacy",
     "story-win98-legacy",
     {"1024x768 60", "640x480 60", "640x480 72", "640x480 75", "800x600 60",
      "800x600 72", "800x600 75", "1024x768 70", "1024x768 75"}},
    // The switch driver, 800-pixel panel, CRT alone at 800x600 60 Hz.
    {"Win98Switch",
     "story-win98-switch",
     {"800x600 60", "800x600 72", "800x600 75", "800x600 85"}},
    // NT 4.0, older driver, CRT alone at 640x480 on a 640x480 desktop.
    {"Nt4Legacy",
     "story-nt4-legacy",
     {"640x480 60", "640x480 72", "640x480 75", "640x480 85", "640x480 100"}},
    // NT 4.0 with the switch driver, 1280-pixel panel, CRT beside it.
    {"Nt4Switch",
     "story-nt4-switch",
     {"1024x768 70", "640x480 60", "640x480 72", "640x480 75", "640x480 85",
      "640x480 100", "800x600 60", "800x600 72", "800x600 75", "800x600 85",
      "1024x768 60", "1024x768 75", "1024x768 85"}},
};

bool StartsWith(const std::string &line, const char *prefix) {
  return line.compare(0, strlen(prefix), prefix) == 0;
}

class LongRun : public ::testing::TestWithParam<Notebook> {};

} // namespace

TEST_P(LongRun, TenThousandOpeningsAThousandChoices) {
  const Notebook &notebook = GetParam();
  // Every tenth opening chooses the next command in turn; the last choice
  // is the mode in force at the start.
  std::string golden =
      ReadFile(std::string("scenarios/") + notebook.scenario + ".scn");
  std::string scenario = golden.substr(0, golden.find("\n---\n") + 5);
  std::vector<std::string> chosen;
  for (int i = 0; i < kOpenings; ++i) {
    if (i % (kOpenings / kChoices) == 0) {
      size_t k = chosen.size() + 1;
      std::string entry = chosen.size() + 1 == kChoices
                              ? notebook.entries[0]
                              : notebook.entries[k % notebook.entries.size()];
      chosen.push_back(entry);
      scenario += "click left\nchoose " + entry + "\nanswer ok\n";
    } else {
      scenario += "click left\ndismiss\n";
    }
  }
  ASSERT_EQ(chosen.size(), static_cast<size_t>(kChoices));

  ASSERT_EQ(RunScenarioText(notebook.name, scenario, nullptr), 0);
  std::string transcript = SimTakeTranscript();
  EXPECT_EQ(EndOfRunBreaks(transcript), std::vector<std::string>());
  std::vector<std::string> lines = SplitLines(transcript);

  // The listings (each as its lines, and the entries it checks), and what
  // was applied between them.
  std::vector<std::string> listings, marks;
  int boxes = 0, errors = 0, changes = 0;
  for (const std::string &line : lines) {
    if (StartsWith(line, "track ")) {
      listings.emplace_back();
      marks.emplace_back();
    }
    std::vector<MenuListingEntry> entries;
    if (ReadMenuListingLine(line, &entries)) {
      ASSERT_FALSE(listings.empty());
      listings.back() += line + "\n";
      for (const MenuListingEntry &entry : entries)
        if (entry.checked)
          marks.back() += entry.resolution + " " + entry.rate;
    }
    boxes += StartsWith(line, "box 49 ");
    errors += StartsWith(line, "box 16 ");
    changes += StartsWith(line, "cds ");
  }
  ASSERT_EQ(listings.size(), static_cast<size_t>(kOpenings));
  EXPECT_EQ(boxes, kChoices);
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(changes, kChoices);

  // Each choice is checked from the next opening on, and only it.
  size_t per = kOpenings / kChoices;
  for (size_t i = per; i < listings.size(); i += per)
    EXPECT_EQ(marks[i], chosen[i / per - 1]) << "opening " << i << ":\n"
                                             << listings[i];
  EXPECT_EQ(listings.back(), listings.front());

  // Nothing piled up on the way (open DCs, keys, devices and menus are the
  // end-of-run rules' above).
  EXPECT_EQ(SimCallCount("LoadImageA"), SimCallCount("DestroyIcon"));
  EXPECT_EQ(SimCallCount("CreatePopupMenu"), 1);
}

INSTANTIATE_TEST_SUITE_P(Day, LongRun, ::testing::ValuesIn(kNotebooks),
                         [](const ::testing::TestParamInfo<Notebook> &param) {
                           return std::string(param.param.name);
                         });
