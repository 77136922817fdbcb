// Marks the steps of a start in a build made for timing them (tools/bench builds one with
// TORVA_PHASES): the mark goes to the debugger output, which Wine prints with a time stamp.
// In every other build a mark is compiled away.
#pragma once

#ifdef TORVA_PHASES
#include <windows.h>
inline void MarkPhase(const char* step) { OutputDebugStringA(step); }
#else
inline void MarkPhase(const char*) {}
#endif
