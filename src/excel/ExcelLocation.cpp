#include "excel/ExcelLocation.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "environment/Handles.h"
#include "environment/OsVersion.h"
#include "environment/Profile.h"
#include "environment/Registry.h"
#include "environment/ShellFolders.h"
#include "environment/StrUtils.h"
#include "excel/ExcelFacts.h"

namespace {

bool FolderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool ForceFolders(const std::string& path) {
    const std::string folder = StripTrailingBackslash(path);
    if (folder.empty()) return false;
    if (FolderExists(folder)) return true;
    std::string parent;
    ExtractFolder(folder, parent);
    parent = StripTrailingBackslash(parent);
    if (!parent.empty() && parent != folder && !FolderExists(parent) && !ForceFolders(parent)) return false;
    return CreateDirectoryA(folder.c_str(), nullptr) || FolderExists(folder);
}

std::string GetAppDataFolder() { return GetShellFolder(CSIDL_APPDATA); }

std::string GetUserProfileFolder() {
    try {
        return ProfileFolderOfAppData(GetAppDataFolder());
    } catch (...) {
        return std::string();
    }
}

bool GetExcelExePath(std::string& path, int version) {
    try {
        path.clear();
        const std::string command =
            RegReadDefault(HKEY_CLASSES_ROOT, excel::SheetClass(NewCommandSheetVersion(version)),
                           excel::kNewCommandSubKey);
        path = ExcelPathInCommand(command);
        if (path.empty()) path = RegReadDefault(HKEY_LOCAL_MACHINE, excel::kMachineSoftwareKey, excel::kAppPathsSubKey);
        return true;
    } catch (...) {
        path.clear();
        return false;
    }
}

bool GetXlStartFolder(std::string& folder, const std::string& excelFolder, int version) {
    try {
        folder.clear();
        // Up to Excel 8 the start-up folder lies in Excel's own folder.
        if (version <= 8) {
            if (excelFolder.empty()) return false;
            folder = AddTrailingBackslash(excelFolder) + excel::kXlStart;
            return true;
        }
        folder = UserXlStartFolder(GetAppDataFolder(), GetWindowsFolder());
        return true;
    } catch (...) {
        folder.clear();
        return false;
    }
}

bool GetOfficeXlStartFolder(std::string& folder, int version, unsigned long view) {
    try {
        folder.clear();
        const std::string key = excel::InstallRootKey(version);
        // Both ways always: the second still reads a key that is closed to full access.
        const std::string full = RegReadString(HKEY_LOCAL_MACHINE, key, excel::kInstallRootValue, view);
        const std::string query = RegQueryString(HKEY_LOCAL_MACHINE, key, excel::kInstallRootValue, view);
        const std::string& root = !full.empty() ? full : query;
        if (!root.empty()) folder = AddTrailingBackslash(root) + excel::kOfficeXlStart;
        return !folder.empty();
    } catch (...) {
        folder.clear();
        return false;
    }
}

std::vector<std::string> GetOfficeXlStartFolders() {
    std::vector<std::string> folders;
    try {
        // A 64-bit Office writes its InstallRoot only where 64-bit programs look, a 32-bit one only
        // where 32-bit programs do.
        const std::vector<unsigned long> views = SoftwareRegistryViews();
        for (int version = excel::kFirstOffice; version <= excel::kLastOffice; ++version) {
            for (unsigned long view : views) {
                std::string folder;
                if (!GetOfficeXlStartFolder(folder, version, view)) continue;
                const bool known = std::any_of(folders.begin(), folders.end(),
                                               [&](const std::string& f) { return SameTextAscii(f, folder); });
                if (!known) folders.push_back(folder);
            }
        }
    } catch (...) {
    }
    return folders;
}
