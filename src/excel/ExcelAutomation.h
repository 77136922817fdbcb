// A running Excel, as its automation object and its main window show it.
#pragma once
#include <string>

// The ProgID a running Excel answers to: ProgId while it is registered, else the versionless one;
// empty when neither is registered (then none can be found).
std::string AnsweringProgId(const std::string& progId);
// True while an instance registered for ProgId runs (COM is initialised on this thread if needed).
bool IsExcelRunning(const std::string& progId);
// Tells every running Excel to quit, one after the other (command line). It waits a few seconds at
// the most, for one to leave the running-object table or for one that does not answer a call,
// and never for an Excel to end.
bool CloseRunningExcel(int version);
// A top-level window of Excel's main class exists (also a hidden one started for automation).
bool IsExcelWindowPresent();
