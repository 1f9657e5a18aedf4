// The one place that chooses between the real Win32 headers and the
// simulated notebook of sim/.  Everything else includes this file and calls
// Win32 by its ANSI names; which implementation answers is decided at link
// time.
#pragma once

#if defined(_WIN32)
#include <windows.h>
// <shellapi.h> needs <windows.h> first.
#include <shellapi.h>
#else
#include "sim/win32.h"
#endif
