// The application's own hidden window: owner of every message box of the program.
#pragma once
#include <windows.h>

HWND ApplicationHandle();
// Creates it on first use in a process that has none yet (the command-line mode).
HWND EnsureApplicationHandle();
void SetApplicationHandle(HWND hwnd);
