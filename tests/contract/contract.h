// What the contract's cases share (tests/contract/*.cpp).  A case makes
// Win32 calls as the program makes them and checks each answer on its own,
// named by the call that gave it, as Wine's conformance tests do with ok():
// natively the answer must be the expected one (--check); under Wine
// tests/contract/compare.py holds it against the simulation's, unless the
// check carries a mark that says, with its source, why Wine may differ.
#pragma once

#include <functional>
#include <string>

#include "platform/win32.h"

// The state every case starts from, made by each side its own way
// (world_sim.cpp, world_win.cpp): an empty key HKCC\Contract, the key
// HKCC\Display\Settings without "RefreshRate", a desktop of 1024x768 at 16
// bits, and no display driver behind escape 0x3000.
void WorldReset();
// The module whose string table and icons are the program's own.
HINSTANCE WorldInstance();
// Whether the case has called `function` since WorldReset: the simulation
// counts every call; Windows cannot tell, and says false.
bool WorldCalled(const char *function);

// Records one answer of the running case: prints "case: call = answer",
// the call numbered ("call #2") when the case made it before.  With
// --check an answer other than `expected` fails the run.  `mark` excuses
// this answer, and only this one, where Wine's differs: the Windows
// 95/98/NT 4.0 behaviour the simulation follows and its source, "stricter
// on purpose" and why, or "assumed".  Returns `answer`.
long Check(const std::string &call, long answer, long expected,
           const char *mark = nullptr);
void Check(const std::string &call, const std::string &answer,
           const std::string &expected, const char *mark = nullptr);
// Check named by the call as written.
#define CHECK(call, ...) Check(#call, call, __VA_ARGS__)

// Runs `body` as the case `name`, from the starting state.
void Run(const char *name, const std::function<void()> &body);

// The bytes as lowercase hex.
std::string Hex(const void *data, size_t size);

// A hidden window of the recording class (windows.cpp), as the program
// makes its own.
HWND MakeWindow(LRESULT createAnswer);

// Each area's cases, run in this order.
void RegistryCases(), StringCases(), MenuCases(), WindowCases(), DisplayCases(),
    ShellCases();
