// Switching the add-in on and off by placing the common add-in workbook.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// 0 registered, 1 removed, -1 broken installation.
int AddinStateOf(const std::string& installedPath, const std::string& parkedPath);
// Where both copies of the common add-in workbook lie, and the state they give; both
// paths are empty and the state -1 when either folder is empty.
struct AddinLocation {
    std::string installed, parked;
    int state = -1;
};
AddinLocation LocateAddin(const std::string& startupFolder, const std::string& productFolder);
// Mode 1 places (copies parked onto installed), any other mode withdraws.
bool SwitchAddinFile(const std::string& installedPath, const std::string& parkedPath, int mode);
// What became of "Torva.xla" in the Office start-up folders.
struct OfficeSwitchReport {
    std::vector<std::string> refused;  // folders that refuse this user new files and hold none, where no
                                       // copy of the user's own could stand in for them
    std::vector<std::string> failed;   // folders that could not take or give up the workbook otherwise
    std::vector<std::string> created;  // the workbooks this attempt created (a roll-back takes only these)
    std::string missingSource;         // the product's own Torva.xla, when it was not there to place
    bool commandFailed = false;        // Explorer's command could not be written for every class
    bool Ok() const { return refused.empty() && failed.empty() && missingSource.empty() && !commandFailed; }
};
// "Torva.xla" in the start-up folder of every Office found, or in the user's own start-up folder where
// those refuse it; true when every folder took the change.
bool SwitchOfficeStartupFile(const std::string& productFolder, int mode, OfficeSwitchReport* report = nullptr);
// The Explorer association (mode 1) or its end (any other mode), with Torva.xla placed in or withdrawn
// from the start-up folders. An association is written only once Torva.xla is where every Excel finds it
// once: otherwise Excel's plain command goes back, with only the copies this attempt created taken back,
// and the result is false.
bool SwitchAssociation(int version, const std::string& productFolder, int mode, OfficeSwitchReport* report = nullptr);
// What the window tells the user when SwitchAssociation was not true.
std::string OfficeSwitchMessage(const OfficeSwitchReport& report, int mode);

// What an Office start-up folder allows this user, found before anything is placed.
enum class StartupFolderAccess {
    Takes,    // a new file lands there
    Holds,    // it refuses new files, but holds a Torva.xla (an administrator's)
    Refuses,  // it refuses new files and holds none
};
enum class CopyAction { None, Place, Refresh /* overwritten where allowed, else kept */, Remove };
struct OfficeCopyPlan {
    bool feasible = false;            // false: nothing is placed and the association is not made
    std::vector<CopyAction> folders;  // one for each folder, in their order
    CopyAction userCopy = CopyAction::None;
};
// Where Torva.xla goes (mode 1) or leaves (any other mode) so that each Excel opens exactly one: every
// Excel from 9 on also opens the user's own start-up folder. UserFolder: the association is this user's
// own and so may be a copy in that folder (not where the machine's classes hold it, for every user).
OfficeCopyPlan PlanOfficeCopies(int mode, const std::vector<StartupFolderAccess>& folders, bool userFolder);
// Tests name folders that refuse this user new files, which file permissions under Wine cannot make
// as Windows does; the folders the hook does not name are asked. An empty hook names none.
void SetRefusesNewFilesHook(std::function<bool(const std::string& folder)> hook);

// "S" registers, "E" removes, any other letter toggles (command line).
bool SwitchAddin(const std::string& letter);

// A file's identity as the file system reports it for an open file.
struct FileIdentity {
    uint32_t volume = 0, indexHigh = 0, indexLow = 0;
};
// Two open files are one when volume and file index agree. Some file systems and network
// redirectors report index 0 for every file, and no path name tells one file from two (8.3
// names, a mapped drive against its UNC path): when both report 0 on one volume, OpenedBoth is
// asked whether the second name could be opened while the first was held open without sharing.
// Only that shows two files; a sharing violation, or any other failure, counts as one, so that
// no copy is deleted on a guess.
bool SameFileIdentity(const FileIdentity& a, const FileIdentity& b, const std::function<bool()>& openedBoth);
// Tests only: files are taken to report index 0, as on volumes without file indexes (Wine
// reports an inode number for every file).
void SetFileIndexesUnreported(bool unreported);
