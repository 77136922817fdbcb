// How a command-line run finds the manager window of its own edition: the
// window carries a property named after the edition code (several editions'
// managers may run at once, all of class TManagerForm).
#pragma once
#include <windows.h>
#include <string>

void MarkManagerWindow(HWND window, const std::string& editionCode);
void UnmarkManagerWindow(HWND window, const std::string& editionCode);
HWND FindManagerWindow(const std::string& editionCode);
// Brings that window forward and makes it refresh; nothing when there is none.
void RefreshRunningManager(const std::string& editionCode);
