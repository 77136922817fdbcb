#include "manager/Settings.h"

#include <windows.h>

#include "edition/Edition.h"
#include "environment/OsVersion.h"
#include "environment/Profile.h"
#include "environment/StrUtils.h"
#include "excel/ExcelLocation.h"

namespace {
constexpr int kMaxValue = 255;
constexpr const char* kGenDir = "GenDir";
constexpr const char* kDir = "Dir";
constexpr const char* kHelp = "Help";
// The help folder is kept in this file whatever the edition.
constexpr const char* kHelpSettingsFile = "Torva9.ini";
constexpr const char* kNewEnv = "NewEnv";
constexpr const char* kExcelDir = "ExcelDir";
// Where Vista keeps a user's copy of a file of the Windows folder, under the user's profile.
constexpr const char* kVirtualStoreWindows = "AppData\\Local\\VirtualStore\\Windows\\";

std::string Read(const char* section, const char* key, const std::string& file) {
    std::string value;
    ReadProfileString(section, key, value, file, kMaxValue);
    return value;
}
}  // namespace

std::string SettingsFileName() { return SettingsFileNameFor(ServedExcelVersion()); }

std::string ReadProductFolderOf(const std::string& settingsFile) {
    try {
        return Read(kGenDir, kDir, settingsFile);
    } catch (...) {
        return std::string();
    }
}

std::string ReadProductFolder() { return ReadProductFolderOf(SettingsFileName()); }

std::string ReadHelpFolder() { return Read(kGenDir, kHelp, kHelpSettingsFile); }

bool GetExcelFoldersFor(const std::string& settingsFile, int version, std::string& excelFolder,
                        std::string& startupFolder) {
    try {
        const std::string stored = Read(kNewEnv, kExcelDir, settingsFile);
        if (stored.empty()) {
            std::string exe, folder;
            GetExcelExePath(exe, version);
            ExtractFolder(exe, folder);
            excelFolder = AddTrailingBackslash(folder);
        } else {
            excelFolder = AddTrailingBackslash(stored);
        }
        std::string startup;
        GetXlStartFolder(startup, excelFolder, version);
        startupFolder = AddTrailingBackslash(startup);
        // An empty probe result is stored empty too, so that the next call probes again.
        if (stored.empty()) WriteProfileString(kNewEnv, kExcelDir, excelFolder, settingsFile);
    } catch (...) {
        // Whatever was found stays; the next call reads and probes anew.
    }
    return true;
}

bool GetExcelFolders(const std::string& settingsFile, std::string& excelFolder, std::string& startupFolder) {
    return GetExcelFoldersFor(settingsFile, ServedExcelVersion(), excelFolder, startupFolder);
}

void RemoveVirtualStoreCopy(const std::string& settingsFile) {
    try {
        if (!SameTextAscii(GetOsName(), "Vista")) return;
        // Without a profile folder the path would be relative to the current folder: touch nothing.
        const std::string profile = GetUserProfileFolder();
        if (profile.empty() || settingsFile.empty()) return;
        const std::string copy = AddTrailingBackslash(profile) + kVirtualStoreWindows + settingsFile;
        const DWORD attributes = GetFileAttributesA(copy.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA(copy.c_str());
    } catch (...) {
    }
}
