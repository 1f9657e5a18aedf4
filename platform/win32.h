// The one place that chooses between the real Win32 headers and the
// simulated notebook of sim/.  Everything else includes this file and calls
// Win32 by its ANSI names; which implementation answers is decided at link
// time.
#pragma once

#if defined(_WIN32)
#include <shellapi.h>
#include <windows.h>
#else
#include "sim/win32.h"
#endif
