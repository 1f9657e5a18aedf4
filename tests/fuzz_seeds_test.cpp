// The fuzzer's seeds: each tests/fuzz/corpus/NAME is what scenarios/NAME.scn
// encodes to (`make fuzz-seeds` writes them), and decodes to a scenario
// that plays exactly like it.
#include <filesystem>
#include <string>

#include "harness/records.h"
#include "harness/test_support.h"
#include "sim/scenario.h"

namespace {

std::string Played(const std::string &name, const std::string &scenario) {
  EXPECT_EQ(RunScenarioText(name, scenario, nullptr), 0) << name;
  return SimTakeTranscript();
}

} // namespace

TEST(FuzzSeeds, EachIsItsScenarioAndPlaysLikeIt) {
  int seeds = 0;
  for (const auto &entry :
       std::filesystem::directory_iterator("tests/fuzz/corpus")) {
    std::string name = entry.path().filename().string();
    std::string scenario = ReadFile("scenarios/" + name + ".scn");
    std::string seed = ReadFile(entry.path().string());
    std::string records;
    EXPECT_EQ(ScenarioRecords(name, scenario, &records), 0) << name;
    EXPECT_EQ(records, seed) << name << " is not what its scenario encodes to";
    std::string decoded = RecordsScenario(
        reinterpret_cast<const uint8_t *>(seed.data()), seed.size());
    EXPECT_EQ(Played(name, decoded), Played(name, scenario))
        << name << " does not play like its scenario; decoded:\n"
        << decoded;
    ++seeds;
  }
  EXPECT_GT(seeds, 0);
}

namespace {

// Sample lines of a form: one per word of a word kind of argument (every
// word, for the first such argument), a fixed value for the others.
std::vector<std::string> Samples(const ScenarioForm &form) {
  std::vector<std::string> lines = {form.keyword};
  for (const char *a = form.args; *a; ++a) {
    const std::vector<std::string> &set = ScenarioWordSet(*a == 'D' ? 'k' : *a);
    std::vector<std::string> values =
        !set.empty()             ? set
        : *a == 'i'              ? std::vector<std::string>{"-1"}
        : *a == 'o' || *a == 'S' ? std::vector<std::string>{"7"}
        : *a == 'L' || *a == 'M' ? std::vector<std::string>{"60 75"}
        : *a == 'q' || *a == 'Q' ? std::vector<std::string>{"\"t\""}
        : *a == 'p' ? std::vector<std::string>{"\"Display\\\\Settings\""}
        : *a == 'v' ? std::vector<std::string>{"\"RefreshRate\""}
        : *a == 'f' ? std::vector<std::string>{"GetDC 2"}
        : *a == 'x' ? std::vector<std::string>{"1024x768"}
                    : std::vector<std::string>{"75"};
    std::vector<std::string> grown;
    for (const std::string &line : lines)
      for (size_t k = 0; k < values.size() && (k == 0 || lines.size() == 1);
           ++k) {
        std::string data = *a != 'D'               ? ""
                           : values[k] == "binary" ? " 08"
                           : values[k] == "dword"  ? " 6"
                                                   : " \"t\"";
        grown.push_back(line + " " + values[k] + data);
      }
    lines = grown;
  }
  return lines;
}

} // namespace

// Every form of the scenario language reaches everyone who reads it: the
// reader takes it, the notebook (a statement) or the runner (an action)
// acts on it, and its record reads back as the same line and plays the
// same.  A form added to the language alone fails here.
TEST(ScenarioLanguage, EveryFormReachesTheNotebookTheRunnerAndTheRecords) {
  const std::string base = "os win98\nattached 3\nactive 3\n";
  int played = 0;
  for (const ScenarioForm &form : ScenarioLanguage()) {
    for (const std::string &line : Samples(form)) {
      std::string scenario = form.action ? base + "---\nclick left\n" + line
                                         : line + "\n" + base + "---\n";
      if (form.keyword == std::string("os"))
        scenario = line + "\nattached 3\nactive 3\n---\n";
      std::string records;
      ASSERT_EQ(ScenarioRecords(line, scenario, &records), 0) << line;
      std::string decoded = RecordsScenario(
          reinterpret_cast<const uint8_t *>(records.data()), records.size());
      EXPECT_NE(("\n" + decoded).find("\n" + line + "\n"), std::string::npos)
          << line << " reads back from its record as:\n"
          << decoded;
      std::string transcript = Played(line, scenario);
      EXPECT_EQ(Played(line, decoded), transcript) << line;
      if (form.action) {
        EXPECT_NE(transcript.find("> " + line + "\n"), std::string::npos)
            << line << " was not delivered:\n"
            << transcript;
      }
      ++played;
    }
  }
  EXPECT_GT(played, 60);
}
