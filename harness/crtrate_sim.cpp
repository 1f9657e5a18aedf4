// crtrate-sim FILE: runs the program on the simulated notebook that the
// scenario FILE describes and prints the transcript (harness/runner.h).
//
//   --counts  then "calls <Function> <n>" on standard error for every
//             simulated function the run called, so that a fault sweep
//             knows how many calls of each there are to fail
//   --rules   then "rule <rule>: <detail>" on standard error for every
//             end-of-run rule the run broke (EndOfRunBreaks); status 1 if
//             there is one
//   --parse   only checks FILE and prints its statements and actions as
//             JSON (ParseScenarioText)
//   --seed    only checks FILE and writes it as the fuzzer's records to
//             standard output (harness/records.h)
//   --words   splits each line of standard input into scenario words and
//             prints one JSON list of [text, quoted] pairs per line, or
//             null for a line that does not split (for transcript lines,
//             which quote texts the same way)
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "harness/end_of_run.h"
#include "harness/records.h"
#include "harness/runner.h"
#include "sim/sim.h"

int main(int argc, char **argv) {
  bool counts = false, rules = false, parse = false, seed = false;
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
    counts |= strcmp(argv[i], "--counts") == 0;
    rules |= strcmp(argv[i], "--rules") == 0;
    parse |= strcmp(argv[i], "--parse") == 0;
    seed |= strcmp(argv[i], "--seed") == 0;
    if (strcmp(argv[i], "--words") == 0 && argc == 2) {
      std::string line, error;
      for (ScenarioWords words; std::getline(std::cin, line); words.clear()) {
        if (SplitScenarioLine(line, &words, &error))
          WriteWordsJson(words, stdout);
        else
          fputs("null", stdout);
        fputc('\n', stdout);
      }
      return 0;
    }
  }
  if (i != argc - 1 || i != counts + rules + parse + seed + 1 ||
      ((parse || seed) && i != 2)) {
    fprintf(stderr, "usage: crtrate-sim [--counts] [--rules] FILE\n"
                    "       crtrate-sim --parse|--seed FILE\n"
                    "       crtrate-sim --words\n");
    return 2;
  }
  std::string file = argv[i];
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    fprintf(stderr, "%s: cannot read\n", file.c_str());
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (parse)
    return ParseScenarioText(file, text.str(), stdout);
  if (seed) {
    std::string records;
    int status = ScenarioRecords(file, text.str(), &records);
    fwrite(records.data(), 1, records.size(), stdout);
    return status;
  }
  int status = RunScenarioText(file, text.str(), stdout);
  if (status == 0 && counts)
    for (const auto &call : SimCallCounts())
      fprintf(stderr, "calls %s %d\n", call.first.c_str(), call.second);
  if (status == 0 && rules)
    for (const std::string &broken : EndOfRunBreaks(SimTakeTranscript())) {
      fprintf(stderr, "rule %s\n", broken.c_str());
      status = 1;
    }
  return status;
}
