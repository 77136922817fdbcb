// Starting programs through the shell.
#pragma once
#include <windows.h>
#include <string>

// WaitMode 1: start and wait with the owner disabled and hidden; 0: start and return. Owner also
// owns the message box of a failed start. MakeOwner, when given, makes the owner at the first of
// those needs (Owner is then the one made so far, or none, and the shell gets that): the first
// window of a process loads the display driver, which starting a program does without.
bool RunProgram(const std::string& fileName, const std::string& parameters, HWND owner, int waitMode,
                HWND (*makeOwner)() = nullptr);
// The message shown for a failed start with WaitMode 0.
std::string StartErrorMessage(int code, const std::string& fileName);
