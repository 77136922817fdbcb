// A product installation for tests: a product folder with both workbooks, an Excel
// folder with its XLSTART folder, and the edition's settings file in the Windows
// folder naming them. Registry keys the program writes are put back at the end.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "support/ManagerSupport.h"
#include "support/TestSupport.h"

namespace ts {

// Wine caches a settings file while its write time is unchanged: every rewrite gets a new one.
bool WriteSettingsFile(const std::string& path, const std::string& text);

class Installation {
public:
    struct Options {
        std::string settingsFile = "Torva.Ini";
        bool withProductDir = true;   // [GenDir] Dir
        bool createXlStart = true;    // the XLSTART folder exists
        bool xlStartIsAFile = false;  // a file stands where the XLSTART folder should be
        bool registered = false;      // the installed copy exists at the start
        std::string extraSettings;    // more lines for the settings file
        Options& Registered() { registered = true; return *this; }
        Options& WithoutProductDir() { withProductDir = false; return *this; }
        Options& WithoutXlStart() { createXlStart = false; return *this; }
        Options& XlStartIsAFile() { createXlStart = false; xlStartIsAFile = true; return *this; }
        Options& SettingsFile(const std::string& name) { settingsFile = name; return *this; }
    };
    Installation() : Installation(Options{}) {}
    explicit Installation(const Options& options);
    ~Installation();

    std::string ProductFolder() const { return dir_ / "製品\\"; }
    std::string ExcelFolder() const { return dir_ / "Excel\\"; }
    std::string XlStartFolder() const { return ExcelFolder() + "XLSTART\\"; }
    std::string Installed() const;
    std::string Parked() const;
    std::string SettingsPath() const { return settingsPath_; }
    bool Registered() const { return FileExists(Installed()); }
    // Registers Office VERSION.0 with an InstallRoot folder; its xlstart folder is made when asked.
    // OtherView: in the registry view of programs of the other bitness (a 64-bit Office, seen from
    // a 32-bit program).
    std::string AddOffice(int version, bool createXlStart = true, bool otherView = false);
    // The same for an Office whose start-up folder Windows turns this user's writes aside from: its
    // xlstart is a link into the user's VirtualStore, so a copy lands where Windows would put it.
    std::string AddVirtualizedOffice(int version);
    // Takes Folder for one that refuses this user new files (Windows' answer for a folder under Program
    // Files, which Linux permissions cannot give), for the life of the installation.
    void RefuseNewFiles(const std::string& folder);
    // The Torva.xla of the user's own start-up folder (put back as it was at the end), and one put there.
    std::string UsersTorvaXla() const { return userXlStart_.Path() + "Torva.xla"; }
    bool PutUsersTorvaXla(const std::string& bytes);
    // Where Windows keeps this user's redirected copy of Path.
    static std::string VirtualStoreCopy(const std::string& path);
    // Leaves such a copy of Path, as an earlier redirected write would have; returns where.
    std::string PutVirtualStoreCopy(const std::string& path, const std::string& bytes);
    // The bytes the common add-in workbook is made of.
    static std::string AddinBytes();
    // Explorer's command for a workbook class as the program wrote it (user's classes on NT).
    static std::string DdeCommand(const std::string& sheetClass);

private:
    // Makes a folder under the VirtualStore, removed at the end with what is in it.
    void MakeVirtualStoreFolder(const std::string& folder);

    TempDir dir_;
    std::string settingsPath_;
    std::unique_ptr<ScopedFileBackup> settings_;
    UniqueHKey otherSoftware_;
    std::vector<std::unique_ptr<ScopedRegKey>> keys_;
    std::vector<std::string> virtualStoreTrees_;
    std::vector<std::unique_ptr<ScopedSymlink>> links_;
    ScopedUserXlStart userXlStart_;
    ScopedFileBackup usersTorvaXla_{UsersTorvaXla()};
    std::vector<std::string> refusing_;
};

}  // namespace ts
