// Path rules of the Excel and profile probes that need no operating system.
#pragma once
#include <string>

// Drive and folder part of Source (double-byte aware); Folder empty when there is none.
bool ExtractFolder(const std::string& source, std::string& folder);

// The version whose "Excel.Sheet.<v>" New command names Excel's program: 7 or less as 5, 9 and 10 as 8, 16 as 12.
int NewCommandSheetVersion(int version);
// The program path a New command names, lower-cased, without its opening quote; empty when it names none.
std::string ExcelPathInCommand(const std::string& command);
// True when the path holds "Application Data" or "AppData".
bool IsAppDataPath(const std::string& path);
// The folder above an application-data folder; empty when there is none or it is a drive root.
std::string ProfileFolderOfAppData(const std::string& appData);
// Excel's per-user start-up folder (versions 9 on); under the Windows folder when AppData is no such folder.
std::string UserXlStartFolder(const std::string& appData, const std::string& windowsFolder);
// Where Windows puts a write to Path that it turned aside for a program without administrator rights:
// "VirtualStore\" + Path without its drive, under the local application-data folder (which a roaming
// profile's redirection never moves). Empty for a path without a drive letter or without that folder.
std::string VirtualStoreCopyOf(const std::string& localAppData, const std::string& path);
