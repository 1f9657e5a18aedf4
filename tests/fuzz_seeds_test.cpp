// The fuzzer's seeds: each tests/fuzz/corpus/NAME is what scenarios/NAME.scn
// encodes to (`make fuzz-seeds` writes them), and decodes to a scenario
// that plays exactly like it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "harness/records.h"
#include "harness/runner.h"
#include "sim/sim.h"

namespace {

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

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
