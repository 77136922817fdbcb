// Where Excel, its start-up folders and the user's profile are.
#pragma once
#include <string>
#include <vector>

#include "excel/ExcelPaths.h"  // ExtractFolder

// The folder above the user's application-data folder, or empty.
std::string GetUserProfileFolder();
// The application-data folder (CSIDL_APPDATA) of the current user, or empty.
std::string GetAppDataFolder();
// Path of the Excel program for a version; true also when nothing names Excel (Path empty).
bool GetExcelExePath(std::string& path, int version);
// Excel's start-up folder for a version (never ends in a backslash); false for 8 or less without ExcelFolder.
bool GetXlStartFolder(std::string& folder, const std::string& excelFolder, int version);
// InstallRoot Path of an Office version + "xlstart\"; false (Folder empty) when not installed.
// View: 0, or the registry view flag to read it in.
bool GetOfficeXlStartFolder(std::string& folder, int version, unsigned long view = 0);
// The start-up folder of every Office found, in ascending version, in every registry view the
// system has; a folder found twice is listed once.
std::vector<std::string> GetOfficeXlStartFolders();
// Makes a folder (Excel's start-up folder, typically) with every missing folder above it; true
// when it exists afterwards.
bool ForceFolders(const std::string& path);
