#include "excel/ExcelPaths.h"

#include "environment/StrUtils.h"
#include "excel/ExcelFacts.h"

namespace {
// How the shell names the application-data folder: up to Windows XP, and from Vista on.
constexpr const char* kOldAppData = "Application Data";
constexpr const char* kNewAppData = "AppData";
constexpr const char* kVirtualStore = "VirtualStore\\";
}  // namespace

bool ExtractFolder(const std::string& source, std::string& folder) {
    try {
        size_t last = LastDelimiter(source, "\\:");
        // "C:\x" gives "C:\", "C:\Office\x" gives "C:\Office".
        if (last > 1 && source[last - 1] == '\\') {
            const bool beforeIsSeparator = (source[last - 2] == ':' || source[last - 2] == '\\') &&
                                           !IsTrailByteAt(source, static_cast<int>(last - 1));
            if (!beforeIsSeparator) --last;
        }
        folder = source.substr(0, last);
        return true;
    } catch (...) {
        folder.clear();
        return false;
    }
}

int NewCommandSheetVersion(int version) {
    if (version <= 7) return 5;
    if (version == 9 || version == 10) return 8;
    // Excel 2016 and later register no class of their own number.
    if (version == 16) return 12;
    return version;
}

std::string ExcelPathInCommand(const std::string& command) {
    const std::string lower = LowerAscii(command);
    const std::string exe = excel::kExeNameLower;
    const int p = MbcsPos(exe, lower);
    if (p == 0) return std::string();
    std::string path = lower.substr(0, p - 1 + exe.size());
    if (path[0] == '"') path.erase(0, 1);
    return path;
}

bool IsAppDataPath(const std::string& path) {
    return MbcsPos(kOldAppData, path) != 0 || MbcsPos(kNewAppData, path) != 0;
}

std::string ProfileFolderOfAppData(const std::string& appData) {
    const int oldPos = MbcsPos(kOldAppData, appData);
    const int newPos = MbcsPos(kNewAppData, appData);
    const int cut = oldPos != 0 ? oldPos : newPos;
    if (cut == 0) return std::string();
    const std::string folder = StripTrailingBackslash(appData.substr(0, cut - 1));
    return folder.size() > 3 ? folder : std::string();
}

std::string UserXlStartFolder(const std::string& appData, const std::string& windowsFolder) {
    if (IsAppDataPath(appData)) return AddTrailingBackslash(appData) + excel::kUserXlStart;
    return AddTrailingBackslash(windowsFolder) + kOldAppData + "\\" + excel::kUserXlStart;
}

std::string VirtualStoreCopyOf(const std::string& localAppData, const std::string& path) {
    const bool drivePath = path.size() > 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                           path[2] == '\\';
    if (!drivePath || localAppData.empty()) return std::string();
    return AddTrailingBackslash(localAppData) + kVirtualStore + path.substr(3);
}
