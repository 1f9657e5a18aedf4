// The fuzzer's input, read front to back as a little program of records:
// first the notebook's statements (the Windows version, the switch device
// and its texts, the display driver's state, results and raw reply words,
// the desktop and the display settings' answers, registry keys and values
// of any length and content, locked keys, failing calls), then after a 0
// record the user's actions (clicks of every kind, menu choices and box
// answers, commands, direct applies and menu listings, destroy, close,
// quit, an Explorer restart).  Each record is a byte naming its kind and
// the fields of its layout; the layouts are written once, in
// harness/records.cpp, and serve both directions: inputs to scenarios (the
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
