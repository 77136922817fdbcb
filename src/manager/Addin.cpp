#include "manager/Addin.h"

#include <windows.h>

#include <algorithm>

#include "edition/Edition.h"
#include "environment/FileCopy.h"
#include "environment/Handles.h"
#include "environment/OsVersion.h"
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

// The file index is stable only while the file is held open, so both stay open while
// their identities are read. The 9x line refuses FILE_SHARE_DELETE (and opens no directories,
// which FILE_FLAG_BACKUP_SEMANTICS is for): there both are opened for reading.
UniqueHandle OpenForIdentity(const std::string& path, bool line9x) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (line9x ? 0 : FILE_SHARE_DELETE);
    return UniqueHandle(CreateFileA(path.c_str(), line9x ? GENERIC_READ : 0, share, nullptr, OPEN_EXISTING,
                                    line9x ? 0 : FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Tests stand for a volume without file indexes, which Wine never is.
bool indexesUnreported = false;
}  // namespace

void SetFileIndexesUnreported(bool unreported) { indexesUnreported = unreported; }

namespace {
bool ReadIdentity(HANDLE file, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return false;
    identity = {info.dwVolumeSerialNumber, indexesUnreported ? 0 : info.nFileIndexHigh,
                indexesUnreported ? 0 : info.nFileIndexLow};
    return true;
}

// Whether B opens for reading while A is held open for reading without sharing, which every
// Windows refuses for one file under any of its names. The identity opens cannot stand in: an
// open without read or write access ignores share modes, and on the 9x line they read, so they
// are closed before this.
bool OpenedBoth(const std::string& a, const std::string& b) {
    const UniqueHandle held(CreateFileA(a.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!held) return false;
    const UniqueHandle other(CreateFileA(b.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(other);
}

// Two names for one file (the product folder set to the start-up folder, or
// reached through another spelling): deleting "the installed copy" would
// delete the only one.
bool SameFile(const std::string& a, const std::string& b) {
    const bool line9x = GetOsFamily() == "WIN95_98";
    FileIdentity ia, ib;
    {
        const UniqueHandle x = OpenForIdentity(a, line9x);
        const UniqueHandle y = OpenForIdentity(b, line9x);
        if (!x || !y || !ReadIdentity(x.get(), ia) || !ReadIdentity(y.get(), ib)) return false;
    }
    return SameFileIdentity(ia, ib, [&] { return OpenedBoth(a, b); });
}
bool IsFolder(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), 0);
    return DeleteFileA(path.c_str()) != 0;
}

enum class FolderResult { Done, Refused, Failed };

// Places or withdraws Torva.xla in one Office start-up folder. Windows turns the write of a program
// without administrator rights into Program Files aside into the user's VirtualStore, where this
// program still sees the file in the folder and Excel never does: only that copy tells.
FolderResult SwitchOfficeCopy(const std::string& installed, const std::string& source, int mode) {
    const std::string turnedAside = GetVirtualStoreCopy(installed);
    // One left by an earlier write would hide whether the folder itself has the file.
    if (!turnedAside.empty() && IsFile(turnedAside)) RemoveFile(turnedAside);
    if (mode == 1) {
        if (!CopyFileOpen(source, installed, false)) {
            const DWORD error = GetLastError();
            return error == ERROR_ACCESS_DENIED && !IsFolder(installed) ? FolderResult::Refused : FolderResult::Failed;
        }
        if (turnedAside.empty() || !IsFile(turnedAside)) return FolderResult::Done;
        RemoveFile(turnedAside);
        return FolderResult::Refused;
    }
    if (!IsFile(installed)) return FolderResult::Done;
    if (SwitchAddinFile(installed, source, mode)) return FolderResult::Done;
    return GetLastError() == ERROR_ACCESS_DENIED ? FolderResult::Refused : FolderResult::Failed;
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
        return RemoveFile(installedPath);
    }
    // The parked copy has gone: the installed one becomes the parked one, so a copy survives.
    return MoveFileA(installedPath.c_str(), parkedPath.c_str()) != 0;
}

bool SwitchOfficeStartupFile(const std::string& productFolder, int mode, OfficeSwitchReport* report) {
    OfficeSwitchReport own;
    OfficeSwitchReport& r = report ? *report : own;
    try {
        const std::string source = AddTrailingBackslash(productFolder) + excel::kProductWorkbook;
        // An InstallRoot whose start-up folder is not there is what an uninstalled Office leaves behind.
        std::vector<std::string> folders = GetOfficeXlStartFolders();
        folders.erase(std::remove_if(folders.begin(), folders.end(), [](const std::string& f) { return !IsFolder(f); }),
                      folders.end());
        if (mode == 1 && !folders.empty() && !IsFile(source)) {
            r.missingSource = source;
            return false;
        }
        for (const std::string& folder : folders) {
            const std::string installed = AddTrailingBackslash(folder) + excel::kProductWorkbook;
            switch (SwitchOfficeCopy(installed, source, mode)) {
            case FolderResult::Done:
                if (mode == 1) r.placed.push_back(installed);
                break;
            case FolderResult::Refused: r.refused.push_back(folder); break;
            case FolderResult::Failed: r.failed.push_back(folder); break;
            }
        }
        return r.Ok();
    } catch (...) {
        return false;
    }
}

bool SwitchAssociation(int version, const std::string& productFolder, int mode, OfficeSwitchReport* report) {
    OfficeSwitchReport own;
    OfficeSwitchReport& r = report ? *report : own;
    try {
        WriteExplorerCommand(version, mode);
        if (SwitchOfficeStartupFile(productFolder, mode, &r)) return true;
        if (mode == 1) {
            // Explorer would tell Excel to run macros that Torva.xla brings, and open nothing.
            WriteExplorerCommand(version, 2);
            const std::string source = AddTrailingBackslash(productFolder) + excel::kProductWorkbook;
            for (const std::string& placed : r.placed) SwitchAddinFile(placed, source, 2);
        }
        return false;
    } catch (...) {
        return false;
    }
}

bool SwitchAddin(const std::string& letter) {
    try {
        const std::string file = SettingsFileName();
        std::string excelFolder, startupFolder;
        GetExcelFolders(file, excelFolder, startupFolder);
        // As the window does when it opens; one that cannot be made fails the switch below.
        if (!startupFolder.empty()) ForceFolders(startupFolder);
        const std::string productFolder = ReadProductFolderOf(file);

        const AddinLocation at = LocateAddin(startupFolder, productFolder);
        const int state = at.state;
        if (state == -1) return false;
        if ((letter == "S" && state == 0) || (letter == "E" && state == 1)) return true;

        const int mode = state == 0 ? 2 : 1;
        const char* verb = state == 0 ? "のアドイン解除" : "をアドイン登録";
        if (!SwitchAddinFile(at.installed, at.parked, mode)) {
            // The command line makes its application window only now.
            ShowMessageBox(EnsureApplicationHandle(),
                           std::string("システムエラーが発生したため\rTorva") + verb + "することができませんでした。" +
                               "\r\r" + "Torvaマネージャを強制終了します。",
                           MB_ICONERROR, "システムエラー");
            return false;
        }
        // No box: an unattended run must not stop, and the add-in itself is switched.
        SwitchAssociation(ServedExcelVersion(), productFolder, mode);
        return true;
    } catch (...) {
        return false;
    }
}
