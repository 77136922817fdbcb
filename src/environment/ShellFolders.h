// The shell's special folders of the current user.
#pragma once
#include <string>

// The folder the shell names for a CSIDL value (CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, ...), not
// created; empty when the shell has no such folder or none of the functions to ask.
std::string GetShellFolder(int csidl);
