// libFuzzer target: the whole program on a random notebook.
//
// Each input is a program of records (harness/records.h) that becomes a
// scenario's text, which the scenario runner plays in-process exactly as
// crtrate-sim plays a file (harness/runner.h), with the simulation and the
// program's globals reset before each input.  The seeds in tests/fuzz/corpus
// are the records of golden scenarios (`make fuzz-seeds`).
//
// Whatever the notebook answers, the run must keep the end-of-run rules
// (EndOfRunBreaks); a break of one, and every sanitizer report, stops the
// fuzzer with the input saved.
//
// CRTRATE_FUZZ_SCENARIO=FILE writes each input's scenario text to FILE, so
// that a saved input can be played again with crtrate-sim.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness/end_of_run.h"
#include "harness/records.h"
#include "harness/runner.h"
#include "sim/sim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string scenario = RecordsScenario(data, size);
  if (const char *out = getenv("CRTRATE_FUZZ_SCENARIO")) {
    if (FILE *f = fopen(out, "w")) {
      fputs(scenario.c_str(), f);
      fclose(f);
    }
  }
  int status = RunScenarioText("fuzz input", scenario, nullptr);
  std::string transcript = SimTakeTranscript();
  std::vector<std::string> breaks = EndOfRunBreaks(transcript);
  if (status != 0)
    breaks.insert(breaks.begin(), "the runner refused the generated scenario");
  if (breaks.empty())
    return 0;
  fprintf(stderr, "crtrate_fuzz: %s\n--- scenario\n%s--- transcript\n%s",
          breaks[0].c_str(), scenario.c_str(), transcript.c_str());
  abort();
}
