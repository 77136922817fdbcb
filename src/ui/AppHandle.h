// The application's own hidden window: owner of every message box of the program. Code that
// has no window of its own (the add-in switch, the command-line run) names the owner through here.
#pragma once
#include <windows.h>

HWND ApplicationHandle();
// Creates it on first use in a process that has none yet (the command-line mode).
HWND EnsureApplicationHandle();
void SetApplicationHandle(HWND hwnd);
