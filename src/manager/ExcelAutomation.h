// A running Excel as seen through its automation object.
#pragma once
#include <string>

// True while an instance registered for ProgId runs (COM is initialised on this thread if needed).
bool IsExcelRunning(const std::string& progId);
