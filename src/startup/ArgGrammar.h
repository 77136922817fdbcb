// Command-line splitting and the argument grammar of the command-line mode.
#pragma once
#include <string>
#include <vector>

// Arguments after the program name: blank-separated, double quotes group and are
// removed; no other escapes (paths may end in a backslash).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

struct CommandLineValues {
    std::string runPath;  // plain argument: run and waited for while the add-in is off
    std::string cwSpec;   // "/VRK" or "/CW..." argument, whole
    std::string exePath;  // field 2 of an "/EXE" argument split at "="
};
CommandLineValues ParseArguments(const std::vector<std::string>& args);
