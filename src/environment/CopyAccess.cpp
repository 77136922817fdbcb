#include "environment/CopyAccess.h"

#include <algorithm>

#include "environment/StrUtils.h"

bool OpenToEveryone(const std::string& path, const std::vector<std::string>& usersOwnFolders) {
    return std::none_of(usersOwnFolders.begin(), usersOwnFolders.end(),
                        [&](const std::string& folder) { return IsPathWithin(path, folder); });
}
