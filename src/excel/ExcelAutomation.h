// A running Excel, as its automation object and its main window show it.
#pragma once
#include <string>

// True while an instance registered for ProgId runs (COM is initialised on this thread if needed).
bool IsExcelRunning(const std::string& progId);
// Tells a running Excel to quit (command line).
bool CloseRunningExcel(int version);
// A top-level window of Excel's main class exists (also a hidden one started for automation).
bool IsExcelWindowPresent();
