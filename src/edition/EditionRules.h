// Edition codes and their mappings to Excel major versions.
#pragma once
#include <string>

// Values of 7 or less become 5: the manager window's version.
int ClampedVersion(int servedVersion);
// Start-up mapping from the served version: 0 "EA", 8 "EB", 9 "EC", 10 "ED", else empty.
std::string EditionForServedVersion(int servedVersion);
// Window mapping from an Excel major version: 5 "EA", 8 "EB", 9 "EC", 10 "ED", else empty.
std::string GetTorvaType(int excelVersion);
// Command-line mapping: "EA" 5, "EB" 8, "EC" 9, anything else 0.
int ExcelVersionOfEdition(const std::string& code);
// "Torva" followed by the edition code.
std::string ProductLabel(const std::string& code);
// The number formed by the digits of an executable's file name (no folder).
int ServedVersionOfFileName(const std::string& fileName);
// The executable's own file name: the long name found for the module's file, or else the name
// part of the module path as given (empty LongName).
std::string ExecutableFileName(const std::string& modulePath, const std::string& longName);
