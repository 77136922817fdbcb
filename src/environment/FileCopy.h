// File copy that leaves a copy in a start-up folder shared by the machine open to every user on the
// NT family; one in the user's own folders gets the list its folder passes on.
#pragma once
#include <string>

bool CopyFileOpen(const std::string& source, const std::string& dest, bool failIfExists);
void GrantEveryoneAccess(const std::string& fileName);
