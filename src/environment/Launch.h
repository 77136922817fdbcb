// Starting programs through the shell.
#pragma once
#include <windows.h>
#include <string>

// WaitMode 1: start and wait with the owner disabled and hidden; 0: start and return.
bool RunProgram(const std::string& fileName, const std::string& parameters, HWND owner, int waitMode);
// The message shown for a failed start with WaitMode 0.
std::string StartErrorMessage(int code, const std::string& fileName);
