// The fuzzer's input, read front to back as a little program of records:
// first the notebook's statements, then after a 0 record the user's
// actions.  Each record is a byte naming a form of the scenario language
// (ScenarioLanguage in sim/scenario.h: a statement's byte is 1 more than
// its place among the statements, an action's its place among the
// actions) and its arguments, encoded by their letters; one codec in
// harness/records.cpp serves both directions: inputs to scenarios (the
// fuzzer) and scenarios to inputs (its seeds, `crtrate-sim --seed`).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The scenario text an input encodes: its statements, "---", its actions.
// Any input makes a scenario; records that make no statement (a function
// the notebook does not have, the text the program formats itself) are
// left out.
std::string RecordsScenario(const uint8_t *data, size_t size);

// The records of a scenario, as a seed.  Returns 0, or 2 for a scenario
// that cannot be read or has a line no record expresses (a message naming
// `name` and the line goes to standard error).
int ScenarioRecords(const std::string &name, const std::string &text,
                    std::string *records);
