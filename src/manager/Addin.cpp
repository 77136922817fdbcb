#include "manager/Addin.h"

#include <windows.h>

#include "edition/Edition.h"
#include "environment/FileCopy.h"
#include "environment/Handles.h"
#include "environment/Profile.h"
#include "environment/StrUtils.h"
#include "excel/ExcelFacts.h"
#include "excel/ExcelLocation.h"
#include "manager/Association.h"
#include "manager/Settings.h"
#include "ui/AppHandle.h"

namespace {
bool IsFile(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    UniqueHandle h(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h && GetFileInformationByHandle(h.get(), &info);
}

// Two names for one file (the product folder set to the start-up folder, or
// reached through another spelling): deleting "the installed copy" would
// delete the only one.
bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (!FileIdentity(a, x) || !FileIdentity(b, y)) return false;
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow;
}
}  // namespace

int AddinStateOf(const std::string& installedPath, const std::string& parkedPath) {
    if (IsFile(installedPath)) return 0;
    if (IsFile(parkedPath)) return 1;
    return -1;
}

AddinLocation LocateAddin(const std::string& startupFolder, const std::string& productFolder) {
    AddinLocation at;
    if (startupFolder.empty() || productFolder.empty()) return at;
    at.installed = startupFolder + excel::kCommonAddin;
    at.parked = AddTrailingBackslash(productFolder) + excel::kCommonAddin;
    at.state = AddinStateOf(at.installed, at.parked);
    return at;
}

bool SwitchAddinFile(const std::string& installedPath, const std::string& parkedPath, int mode) {
    if (mode == 1) return CopyFileOpen(parkedPath, installedPath, false);
    if (IsFile(parkedPath)) {
        if (!IsFile(installedPath) || SameFile(installedPath, parkedPath)) return false;
        SetFileAttributesA(installedPath.c_str(), 0);
        return DeleteFileA(installedPath.c_str()) != 0;
    }
    // The parked copy has gone: the installed one becomes the parked one, so a copy survives.
    return MoveFileA(installedPath.c_str(), parkedPath.c_str()) != 0;
}

bool SwitchOfficeStartupFile(const std::string& productFolder, int mode) {
    try {
        const std::string source = AddTrailingBackslash(productFolder) + excel::kProductWorkbook;
        for (int version = 9; version <= 15; ++version) {
            std::string folder;
            GetOfficeXlStartFolder(folder, version);
            if (folder.empty()) continue;
            SwitchAddinFile(AddTrailingBackslash(folder) + excel::kProductWorkbook, source, mode);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool SwitchAddin(const std::string& letter) {
    try {
        const std::string file = SettingsFileName();
        std::string excelFolder, startupFolder;
        GetExcelFolders(file, excelFolder, startupFolder);
        const std::string productFolder = ReadProductFolderOf(file);

        const AddinLocation at = LocateAddin(startupFolder, productFolder);
        const int state = at.state;
        if (state == -1) return false;
        if ((letter == "S" && state == 0) || (letter == "E" && state == 1)) return true;

        const int mode = state == 0 ? 2 : 1;
        const char* verb = state == 0 ? "のアドイン解除" : "をアドイン登録";
        if (!SwitchAddinFile(at.installed, at.parked, mode)) {
            ShowMessageBox(ApplicationHandle(),
                           std::string("システムエラーが発生したため\rTorva") + verb + "することができませんでした。" +
                               "\r\r" + "Torvaマネージャを強制終了します。",
                           MB_ICONERROR, "システムエラー");
            return false;
        }
        WriteExplorerCommand(ServedExcelVersion(), mode);
        SwitchOfficeStartupFile(productFolder, mode);
        return true;
    } catch (...) {
        return false;
    }
}
