// File copy that leaves the copy open to every user on the NT family.
#pragma once
#include <string>

bool CopyFileOpen(const std::string& source, const std::string& dest, bool failIfExists);
void GrantEveryoneAccess(const std::string& fileName);
