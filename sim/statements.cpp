// Scenario statements: handing each statement, split into words and checked
// against the language by the scenario reader (sim/scenario.h), to the area
// of the notebook that acts on it.
#include "sim/internal.h"

namespace {

bool SetFault(const sim::Words &w, std::string *error) {
  if (!SimFailCall(w[1].text, w.size() == 3 ? int(ScenarioNumber(w[2])) : 0))
    return ScenarioError(error, "unknown function " + w[1].text);
  return true;
}

} // namespace

bool SimApplyStatement(const std::string &line, std::string *error) {
  std::string scratch;
  if (!error)
    error = &scratch;
  sim::Words w;
  if (!SplitScenarioLine(line, &w, error))
    return false;
  if (w.empty())
    return true;
  const ScenarioForm *form = MatchScenarioForm(w, error);
  if (!form)
    return false;
  bool taken = false;
  switch (form->actor) {
  case ScenarioActor::Kernel:
    taken = sim::SetKernel(w);
    break;
  case ScenarioActor::Switch:
    taken = sim::SetSwitch(w);
    break;
  case ScenarioActor::Driver:
    taken = sim::SetDriver(w);
    break;
  case ScenarioActor::Display:
    taken = sim::SetDisplay(w);
    break;
  case ScenarioActor::Registry:
    taken = sim::SetRegistry(w);
    break;
  case ScenarioActor::User:
    taken = sim::SetUser(w);
    break;
  case ScenarioActor::Resources:
    taken = sim::SetResources(w);
    break;
  case ScenarioActor::Shell:
    taken = sim::SetShell(w);
    break;
  case ScenarioActor::Fault:
    return SetFault(w, error);
  case ScenarioActor::Click:
  case ScenarioActor::Callback:
  case ScenarioActor::Command:
  case ScenarioActor::Destroy:
  case ScenarioActor::Close:
  case ScenarioActor::Quit:
  case ScenarioActor::ShellRestart:
  case ScenarioActor::Start:
  case ScenarioActor::FocusOther:
  case ScenarioActor::Choose:
  case ScenarioActor::Dismiss:
  case ScenarioActor::Answer:
  case ScenarioActor::Apply:
    return ScenarioError(error, "an action, not a statement");
  }
  return taken ||
         ScenarioError(error, "the notebook does not take " + w[0].text);
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
