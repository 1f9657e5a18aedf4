// Scenario statements: handing each statement, split into words and quoted
// texts by the scenario reader (sim/scenario.h), to the area of the
// notebook it configures.
#include <set>

#include "sim/internal.h"

namespace {

typedef bool (*Setter)(const sim::Words &, std::string *);

// Each area's setter and the statement keywords it takes; the display
// driver's own statements (DisplayDriverModel::IsStatement) go to SetDriver.
const std::pair<Setter, std::set<std::string>> kSetters[] = {
    {sim::SetOs, {"os"}},
    {sim::SetSwitch, {"switch", "switch-fail", "switch-text", "switch-ref"}},
    {sim::SetDisplay, {"desktop", "modes", "cds-result", "planar"}},
    {sim::SetRegistry, {"key", "value", "locked"}},
    {sim::SetUser, {"cursor", "running"}},
    {sim::SetResources, {"string"}},
    {sim::SetShell, {"shell"}},
    {sim::SetMutex, {"mutex"}},
};

bool SetFault(const sim::Words &w, std::string *error) {
  long long nth = 0;
  if (w.size() < 2 || w.size() > 3 || w[1].quoted)
    return ScenarioError(error, "expected: fail <function> [<n>]");
  if (w.size() == 3 && (!ParseScenarioNumber(w[2], &nth) || nth < 1))
    return ScenarioError(error, "bad call number");
  if (!SimFailCall(w[1].text, static_cast<int>(nth)))
    return ScenarioError(error, "unknown function");
  return true;
}

} // namespace

bool SimApplyStatement(const std::string &line, std::string *error) {
  std::string scratch;
  if (!error)
    error = &scratch;
  sim::Words words;
  if (!SplitScenarioLine(line, &words, error))
    return false;
  if (words.empty())
    return true;
  if (words[0].quoted)
    return ScenarioError(error, "unknown statement");
  if (words[0].text == "fail")
    return SetFault(words, error);
  if (DisplayDriverModel::IsStatement(words[0].text))
    return sim::SetDriver(words, error);
  for (const auto &setter : kSetters)
    if (setter.second.count(words[0].text))
      return setter.first(words, error);
  return ScenarioError(error, "unknown statement");
}

bool SimApplyScenario(const std::string &text, std::string *error) {
  Scenario scenario;
  ScenarioLine bad;
  std::string why;
  bool applied = ReadScenario(text, &scenario, &bad, &why);
  for (const ScenarioLine &line : scenario.statements)
    if (applied && !SimApplyStatement(line.text, &why)) {
      applied = false;
      bad = line;
    }
  if (!applied && error)
    *error = std::to_string(bad.number) + ": " + why + ": " + bad.text;
  return applied;
}
