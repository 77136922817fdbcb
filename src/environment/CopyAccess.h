// Who may open a workbook copied into place (the NT family's access lists).
#pragma once
#include <string>
#include <vector>

// Whether a copy at Path is opened to every user, as the start-up folders that every user of the machine
// shares need: not in one of the user's own folders (profile, application data), whose inherited list
// already admits the user, and where an open one would let another user rewrite macros that the owner's
// Excel runs with the owner's rights. Empty folder names are no folders.
bool OpenToEveryone(const std::string& path, const std::vector<std::string>& usersOwnFolders);
