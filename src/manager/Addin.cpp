#include "manager/Addin.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "edition/Edition.h"
#include "environment/FileCopy.h"
#include "environment/Handles.h"
#include "environment/OsVersion.h"
#include "environment/Profile.h"
#include "environment/ShellFolders.h"
#include "environment/StrUtils.h"
#include "excel/ExcelFacts.h"
#include "excel/ExcelLocation.h"
#include "excel/ExcelPaths.h"
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

// Made and removed in a start-up folder to see whether this user may create a name there. A folder:
// one left behind by a crash or a power cut is never opened by Excel, as a file would be at every start.
constexpr const char* kProbeFolder = "TorvaMan.probe";

std::function<bool(const std::string&)>& RefusesNewFilesHook() {
    static std::function<bool(const std::string&)> hook;
    return hook;
}

// Where Windows keeps the writes it turned aside for this program: under the local application-data
// folder, asked once for a whole switch.
class VirtualStore {
public:
    VirtualStore() : localAppData_(GetShellFolder(CSIDL_LOCAL_APPDATA)) {}
    // Where a write to Path would go; empty where none can (no such folder, no drive letter).
    std::string CopyOf(const std::string& path) const { return VirtualStoreCopyOf(localAppData_, path); }
    // That copy of a file or folder, when Windows made one; empty otherwise.
    std::string Made(const std::string& path, bool folder) const {
        const std::string aside = CopyOf(path);
        if (aside.empty()) return std::string();
        return (folder ? IsFolder(aside) : IsFile(aside)) ? aside : std::string();
    }

private:
    std::string localAppData_;
};

void RemoveProbe(const std::string& probe, const VirtualStore& store) {
    if (const std::string aside = store.Made(probe, true); !aside.empty()) RemoveDirectoryA(aside.c_str());
    RemoveDirectoryA(probe.c_str());
}

// Whether Windows may turn this program's writes to Folder aside into the user's VirtualStore,
// as it does under Program Files from Vista on for a program without administrator rights. Without a
// local application-data folder the store cannot be looked at: Program Files is then taken to refuse.
bool MayBeTurnedAside(const std::string& folder) {
    const OsVersionRecord os = QueryOsVersion();
    if (!os.ok || os.platformId != VER_PLATFORM_WIN32_NT || os.major < 6) return false;
    for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
        char value[MAX_PATH] = {};
        const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
        if (n > 0 && n < sizeof value && IsPathWithin(folder, value)) return true;
    }
    return false;
}

// True when this user may not create a file in Folder, or Windows turns the creation aside.
bool RefusesNewFiles(const std::string& folder, const VirtualStore& store) {
    if (RefusesNewFilesHook() && RefusesNewFilesHook()(folder)) return true;
    const std::string probe = AddTrailingBackslash(folder) + kProbeFolder;
    RemoveProbe(probe, store);  // one a crash left would answer for this attempt
    if (!CreateDirectoryA(probe.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        // Anything else (a full disk, say) is for the copy itself to meet and report.
        return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
    }
    const bool turnedAside = !store.Made(probe, true).empty();
    RemoveProbe(probe, store);
    return turnedAside || (store.CopyOf(probe).empty() && MayBeTurnedAside(folder));
}

// The start-up folder every Excel from 9 on opens besides its own, where this user may keep a
// Torva.xla of his own; empty where the association is the machine's, for every user of every profile.
std::string UsersOwnStartupFolder() {
    if (!HasUserClasses()) return std::string();
    std::string folder;
    GetXlStartFolder(folder, std::string(), 9);
    return folder;
}

// The user's own copy goes as it is, never moved anywhere: nobody else relies on it.
bool RemoveUsersOwnCopy(const std::string& userFolder) {
    const std::string copy = AddTrailingBackslash(userFolder) + excel::kProductWorkbook;
    return !IsFile(copy) || RemoveFile(copy);
}

// Carries out one action on Torva.xla in Folder. A copy Windows turned aside is no copy: Excel never
// sees it. False when the folder did not take the change.
bool ApplyCopyAction(CopyAction action, const std::string& folder, const std::string& source, const VirtualStore& store,
                     OfficeSwitchReport& r) {
    const std::string installed = AddTrailingBackslash(folder) + excel::kProductWorkbook;
    switch (action) {
    case CopyAction::None: return true;
    case CopyAction::Place:
    case CopyAction::Refresh: {
        const bool existed = IsFile(installed);
        bool placed = CopyFileOpen(source, installed, false);
        if (const std::string aside = store.Made(installed, false); !aside.empty()) {
            RemoveFile(aside);
            placed = false;
        }
        if (action == CopyAction::Refresh) return true;  // the copy there stays as it was
        if (placed && !existed) r.created.push_back(installed);
        return placed;
    }
    case CopyAction::Remove: return !IsFile(installed) || SwitchAddinFile(installed, source, 2);
    }
    return false;
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

void SetRefusesNewFilesHook(std::function<bool(const std::string&)> hook) { RefusesNewFilesHook() = std::move(hook); }

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
        // What each folder allows is found before anything is placed, so that a refusal changes nothing.
        const VirtualStore store;
        std::vector<StartupFolderAccess> access;
        for (const std::string& folder : folders) {
            const std::string installed = AddTrailingBackslash(folder) + excel::kProductWorkbook;
            // One left in the VirtualStore by an earlier write would hide what the folder itself holds.
            if (const std::string aside = store.Made(installed, false); !aside.empty()) RemoveFile(aside);
            const bool holds = IsFile(installed);
            if (mode != 1 && !holds)
                access.push_back(StartupFolderAccess::Takes);  // nothing to withdraw: no need to ask
            else if (!RefusesNewFiles(folder, store))
                access.push_back(StartupFolderAccess::Takes);
            else
                access.push_back(holds ? StartupFolderAccess::Holds : StartupFolderAccess::Refuses);
        }
        const std::string userFolder = UsersOwnStartupFolder();
        const OfficeCopyPlan plan = PlanOfficeCopies(mode, access, !userFolder.empty());
        if (!plan.feasible) {
            for (size_t i = 0; i < folders.size(); ++i)
                if (access[i] == StartupFolderAccess::Refuses) r.refused.push_back(folders[i]);
            return false;
        }
        for (size_t i = 0; i < folders.size(); ++i)
            if (!ApplyCopyAction(plan.folders[i], folders[i], source, store, r)) r.failed.push_back(folders[i]);
        if (!userFolder.empty()) {
            if (plan.userCopy == CopyAction::Place) ForceFolders(userFolder);
            const bool ok = plan.userCopy == CopyAction::Remove ? RemoveUsersOwnCopy(userFolder)
                                                                 : ApplyCopyAction(plan.userCopy, userFolder, source, store, r);
            if (!ok) r.failed.push_back(userFolder);
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
        if (mode != 1) {
            // The copies go only once no command calls their macros any more.
            if (!WriteExplorerCommand(version, 2)) {
                r.commandFailed = true;
                return false;
            }
            return SwitchOfficeStartupFile(productFolder, 2, &r);
        }
        // The command calls macros that Torva.xla brings: it is written only once the copies are in place.
        if (SwitchOfficeStartupFile(productFolder, 1, &r)) {
            if (WriteExplorerCommand(version, 1)) return true;
            r.commandFailed = true;
        }
        // Explorer would tell Excel to run macros that are not there, and open nothing. Where Excel's own
        // command cannot be written back either, the copies stay for the command still in force.
        if (!WriteExplorerCommand(version, 2)) return false;
        // As a dissociation leaves them; what was there before stays for the users relying on it.
        for (const std::string& created : r.created) RemoveFile(created);
        if (const std::string userFolder = UsersOwnStartupFolder(); !userFolder.empty()) RemoveUsersOwnCopy(userFolder);
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
