// crtrate-sim: the scenario runner's command line (harness/runner.h), for
// make, the golden scenarios, the fault sweep and scripts that read
// scenarios through the runner's reader.  Usage below says what each form
// does; it is printed for --help and for a command line it does not take.
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

namespace {

const char Usage[] =
    "usage: crtrate-sim [--counts] [--rules] [--listings] FILE\n"
    "       crtrate-sim --parse|--seed FILE\n"
    "       crtrate-sim --words|--listings\n"
    "\n"
    "Plays the scenario FILE on the simulated notebook and prints the\n"
    "transcript on standard output.\n"
    "  --counts  then prints \"calls FUNCTION N\" on standard error for every\n"
    "            simulated function the run called (what a fault sweep can\n"
    "            make fail)\n"
    "  --rules   then prints \"rule RULE: DETAIL\" on standard error for\n"
    "            every end-of-run rule the run broke (harness/end_of_run.h),\n"
    "            with status 1 if there is one\n"
    "  --listings then prints \"listing JSON\" on standard error for every\n"
    "            listing of the menu in the transcript (below)\n"
    "  --parse   only checks FILE and prints the scenario language and its\n"
    "            statements and actions as JSON\n"
    "  --seed    only checks FILE and writes it as the fuzzer's records to\n"
    "            standard output\n"
    "  --words   splits each line of standard input into scenario words and\n"
    "            prints a JSON list of [text, quoted] pairs per line, or null\n"
    "            for a line that does not split (transcript lines quote\n"
    "            texts the same way)\n"
    "  --listings (alone) reads transcript lines on standard input and\n"
    "            prints one JSON object per listing of the menu in them:\n"
    "            {\"line\": N, \"entries\": [[RESOLUTION, RATE, GRAYED,\n"
    "            CHECKED], ...]}, N the number of its first line\n"
    "Exit status 0; 1 for a broken rule; 2 for a file it cannot read or a\n"
    "scenario line it cannot take (the message on standard error names the\n"
    "file and line), or a command line it does not take.\n";

} // namespace

int main(int argc, char **argv) {
  if (argc == 2 && strcmp(argv[1], "--help") == 0) {
    fputs(Usage, stdout);
    return 0;
  }
  if (argc == 2 && strcmp(argv[1], "--listings") == 0) {
    std::ostringstream lines;
    lines << std::cin.rdbuf();
    WriteListingsJson(SplitLines(lines.str()), "", stdout);
    return 0;
  }
  bool counts = false, rules = false, parse = false, seed = false,
       listings = false;
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
    counts |= strcmp(argv[i], "--counts") == 0;
    rules |= strcmp(argv[i], "--rules") == 0;
    listings |= strcmp(argv[i], "--listings") == 0;
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
  if (i != argc - 1 || i != counts + rules + listings + parse + seed + 1 ||
      ((parse || seed) && i != 2)) {
    fputs(Usage, stderr);
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
  std::string transcript = SimTakeTranscript();
  if (status == 0 && listings)
    WriteListingsJson(SplitLines(transcript), "listing ", stderr);
  if (status == 0 && rules)
    for (const std::string &broken : EndOfRunBreaks(transcript)) {
      fprintf(stderr, "rule %s\n", broken.c_str());
      status = 1;
    }
  return status;
}
