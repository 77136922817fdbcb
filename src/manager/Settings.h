// The edition's settings file in the Windows folder.
#pragma once
#include <string>

// "Torva.Ini", "Torva8.Ini" or "Torva9.Ini" by the served Excel version (no folder).
std::string SettingsFileName();
std::string SettingsFileNameFor(int servedVersion);
// [GenDir] Help of "Torva9.ini", whatever the edition: the help file's folder.
std::string ReadHelpFolder();
// [GenDir] Dir of SettingsFileName(), as stored.
std::string ReadProductFolder();
// [GenDir] Dir of the given settings file, as stored.
std::string ReadProductFolderOf(const std::string& settingsFile);
// Excel folder and start-up folder (both with a trailing backslash, or empty);
// writes [NewEnv] ExcelDir back when it was empty. Always true.
bool GetExcelFolders(const std::string& settingsFile, std::string& excelFolder, std::string& startupFolder);
// The same for a given Excel version instead of the served one.
bool GetExcelFoldersFor(const std::string& settingsFile, int version, std::string& excelFolder,
                        std::string& startupFolder);
// Under "Vista", deletes the per-user VirtualStore copy of the settings file.
void RemoveVirtualStoreCopy(const std::string& settingsFile);
