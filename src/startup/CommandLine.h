// The command-line mode: started with at least one argument, no window.
#pragma once
#include <string>
#include <vector>

// ManagerRunning: the edition's mutex existed at start.
void RunCommandLineMode(const std::vector<std::string>& args, bool managerRunning);
