// The edition this copy of the executable serves, from its own file name.
#pragma once
#include <string>
#include "edition/EditionRules.h"

// Set once at start-up, before the branch; read by the command-line mode.
extern std::string EditionCode;

std::string ModuleFileName();
int ServedExcelVersion();
std::string DetectEdition();
// "MutexObjectForApp" followed by the edition code.
std::string MutexNameFor(const std::string& code);
