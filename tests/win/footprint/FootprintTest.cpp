// What the program writes on a machine, held against the administrators' section of the README:
// its table of places, and its batch file.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "Footprint.h"
#include "environment/StrUtils.h"
#include "excel/ExcelFacts.h"
#include "support/Installation.h"
#include "support/ManagerSupport.h"

using ts::Installation;
using ts::ManagerProcess;

namespace {

constexpr const char* kTableMarker = "<!-- footprint:";
constexpr const char* kBatchMarker = "<!-- batch example:";

// What Wine itself changes in the prefix while programs run, whichever they are.
struct WineOwn {
    const char* prefix;
    const char* why;
};
constexpr WineOwn kWineOwn[] = {
    {"HKCU\\Software\\Wine\\Temporary System Parameters",
     "Wine's volatile place for settings changed for the session only: reading a mouse setting (the double-click "
     "time, for one) makes it create an empty key there, which is gone when its wineserver ends"},
};

bool IsWineOwn(const fp::Change& c) {
    const std::string path = UpperAscii(c.path);
    return std::any_of(std::begin(kWineOwn), std::end(kWineOwn), [&](const WineOwn& w) {
        return path.rfind(UpperAscii(w.prefix), 0) == 0;
    });
}

std::string FolderAbove(const std::string& path) {
    const std::string folder = StripTrailingBackslash(path);
    return folder.substr(0, folder.find_last_of('\\'));
}

// The workbook classes name Excel's program: where the program looks for Excel's folder when the
// settings file names none. The Installation puts these keys back.
void RegisterExcelProgram(const std::string& excelFolder) {
    for (const char* sheetClass : {"Excel.Sheet.5", "Excel.Sheet.8"})
        ts::RegSet(HKEY_CLASSES_ROOT, std::string(sheetClass) + "\\" + excel::kNewCommandSubKey, "",
                   "\"" + excelFolder + "EXCEL.EXE\" /e");
}

// An edition's settings file as an installation may leave it: without [NewEnv] ExcelDir.
void WriteSettingsWithoutExcelDir(const std::string& path, const std::string& productFolder) {
    ts::WriteSettingsFile(path, "[Product]\r\nDisplay=Torva テスト版\r\n[GenDir]\r\nDir=" + productFolder + "\r\n");
}

ts::MessageBoxInfo Answer(ManagerProcess& m) {
    ts::MessageBoxInfo box = ts::WaitForMessageBox(m.Pid(), 15000);
    if (box.hwnd) ts::ClickButton(box.hwnd);
    return box;
}

std::string Described(const std::vector<fp::Change>& changes) {
    std::string text;
    for (const fp::Change& c : changes) text += "\n  " + c.Describe();
    return text;
}

// The README's table (the English one), and what its placeholders stand for in a run.
class Footprint : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string readme = fp::ReadReadme();
        ASSERT_FALSE(readme.empty()) << "README.md not found: TORVA_SOURCE_DIR names the sources";
        const auto tables = fp::TablesAfter(readme, kTableMarker);
        ASSERT_FALSE(tables.empty()) << "no table after \"" << kTableMarker << "\"";
        table_ = tables.back();
    }

    // What the table's placeholders stand for with this installation and these Offices' start-up folders.
    void Bind(const Installation& inst, const std::vector<std::string>& officeXlStarts) {
        std::vector<std::string> paths;
        for (const std::string& xlstart : officeXlStarts) paths.push_back(FolderAbove(xlstart) + "\\");
        bindings_ = {
            {"<ExcelDir>", {inst.ExcelFolder()}},
            {"<Dir>", {inst.ProductFolder()}},
            {"<Path>", paths},
            {"<ini>", {"Torva.Ini", "Torva8.Ini", "Torva9.Ini"}},
            {"<class>", {"Excel.Sheet.5", "Excel.Sheet.8", "Excel.Sheet.12", "Excel.CSV"}},
            {"<code>", {"EA", "EB", "EC", "ED", ""}},
        };
        for (const fp::Row& row : table_)
            for (const std::string& place : row.places)
                for (const std::string& expanded : fp::Expand(place, bindings_))
                    EXPECT_EQ(std::string::npos, expanded.find('<')) << "a placeholder the test does not know: " << place;
    }

    // Runs Act between two looks at the prefix and returns what changed, Wine's own changes left out.
    // A change the table does not list fails the test and is taken away again.
    template <class Act>
    std::vector<fp::Change> Watch(Act act) {
        const fp::Snapshot before = fp::Take();
        act();
        std::vector<fp::Change> changes = fp::Compare(before, fp::Take());
        auto testsOwn = [&](const fp::Change& c) {
            return std::any_of(testsOwn_.begin(), testsOwn_.end(), [&](const std::string& own) {
                return SameTextAscii(c.path, own) || SameTextAscii(c.path.substr(0, own.size() + 1), own + "\\");
            });
        };
        changes.erase(std::remove_if(changes.begin(), changes.end(),
                                     [&](const fp::Change& c) { return IsWineOwn(c) || testsOwn(c); }),
                      changes.end());
        const std::vector<fp::Change> unlisted = fp::Unlisted(changes, table_, bindings_);
        EXPECT_TRUE(unlisted.empty()) << "written, but not in the README's table:" << Described(unlisted);
        for (const fp::Change& c : unlisted) fp::Undo(c);
        return changes;
    }

    std::vector<fp::Row> table_;
    fp::Bindings bindings_;
    std::vector<std::string> testsOwn_;  // files and folders the test itself changes meanwhile
};

// Among Changes: Path made or changed (for a key, its default value set to DefaultValue), or deleted.
bool Written(const std::vector<fp::Change>& changes, const std::string& path, const char* defaultValue = nullptr) {
    return std::any_of(changes.begin(), changes.end(), [&](const fp::Change& c) {
        return c.kind != fp::Change::Deleted && SameTextAscii(c.path, path) &&
               (!defaultValue || (c.what == fp::Change::Value && c.name.empty() && c.data == defaultValue));
    });
}
bool Deleted(const std::vector<fp::Change>& changes, const std::string& path) {
    return std::any_of(changes.begin(), changes.end(),
                       [&](const fp::Change& c) { return c.kind == fp::Change::Deleted && SameTextAscii(c.path, path); });
}

}  // namespace

TEST_F(Footprint, TheJapaneseAndTheEnglishTableListTheSamePlaces) {
    const auto tables = fp::TablesAfter(fp::ReadReadme(), kTableMarker);
    ASSERT_EQ(2u, tables.size()) << "a Japanese and an English table after \"" << kTableMarker << "\"";
    ASSERT_FALSE(tables[0].empty());
    ASSERT_EQ(tables[0].size(), tables[1].size());
    for (size_t i = 0; i < tables[0].size(); ++i) EXPECT_TRUE(tables[0][i] == tables[1][i]) << "row " << i + 1;
}

TEST_F(Footprint, AWindowSessionAndACommandLineRunWriteOnlyWhatTheTableLists) {
    // Edition EA in the window, edition EC on the command line, one product folder. Neither settings
    // file names Excel's folder, an Excel 2016 is registered, and an Office 16 of each bitness has its
    // start-up folder; one of them has an old per-user copy of Torva.xla left in the VirtualStore.
    Installation inst;
    WriteSettingsWithoutExcelDir(inst.SettingsPath(), inst.ProductFolder());
    const std::string ec = FolderAbove(inst.SettingsPath()) + "\\Torva9.Ini";
    ts::ScopedFileBackup ecSettings(ec);
    WriteSettingsWithoutExcelDir(ec, inst.ProductFolder());
    RegisterExcelProgram(inst.ExcelFolder());
    ts::ScopedRegKey excel16(HKEY_CLASSES_ROOT, "Excel.Application.16");
    ASSERT_TRUE(ts::RegSet(HKEY_CLASSES_ROOT, "Excel.Application.16", "", "Microsoft Excel Application"));
    const std::string office = inst.AddOffice(16);
    const std::string office64 = inst.AddOffice(16, true, /*otherView=*/true);
    const std::string stale = inst.PutVirtualStoreCopy(office + excel::kProductWorkbook, "OLD TORVA.XLA");
    ts::ScopedUserXlStart userXlStart;
    Bind(inst, {office, office64});

    ManagerProcess window("TorvaMan.exe");
    ts::TempDir dir;
    const std::string program = dir / "TorvaMan9.exe", update = dir / "Update.exe";
    ASSERT_TRUE(CopyFileA(ts::ProgramPath().c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(ts::FixturePath("Probe").c_str(), update.c_str(), FALSE));

    const std::vector<fp::Change> changes = Watch([&] {
        // The window: register, with the association it proposes, apply, close.
        ASSERT_TRUE(window.Start());
        const auto c = window.Controls();
        ManagerProcess::Press(c.enableBtn);
        ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return c.Enabled(c.okBtn); }));
        ASSERT_TRUE(c.Checked()) << "registering proposes the association";
        ManagerProcess::Press(c.okBtn);
        EXPECT_EQ("TorvaEAマネージャー", Answer(window).caption);
        EXPECT_TRUE(ManagerProcess::WaitUntil([&] { return c.Panel1() == ts::kRegisteredText; }));
        EXPECT_EQ(0, window.Close());
        // The command line: a program waited for, and one started at the end.
        EXPECT_EQ(0, ts::RunAndWait(ts::Quoted(program) + " " + ts::Quoted(update) + " /EXE=" + update));
    });

    // What the run must have done was seen, so the comparison looked where the program writes.
    EXPECT_TRUE(Written(changes, inst.Installed()));
    EXPECT_TRUE(Written(changes, userXlStart.Path() + excel::kCommonAddin));
    EXPECT_TRUE(Written(changes, office + excel::kProductWorkbook));
    EXPECT_TRUE(Written(changes, office64 + excel::kProductWorkbook));
    EXPECT_TRUE(Deleted(changes, stale));
    EXPECT_TRUE(Written(changes, inst.SettingsPath()));
    EXPECT_TRUE(Written(changes, ec));
    for (const char* sheetClass : {"Excel.Sheet.5", "Excel.Sheet.8", "Excel.Sheet.12", "Excel.CSV"})
        EXPECT_TRUE(Written(changes, std::string("HKCU\\Software\\Classes\\") + sheetClass + "\\Shell\\Open\\ddeexec",
                            excel::kAssociatedCommand))
            << sheetClass;
}

TEST_F(Footprint, TheBatchExampleTellsAnAssociationFromNone) {
    const std::string batch = fp::BlockAfter(fp::ReadReadme(), kBatchMarker);
    ASSERT_FALSE(batch.empty()) << "no batch file after \"" << kBatchMarker << "\"";

    // The places the example names: the program as edition EC, and an update program.
    ts::ScopedFolder torva("C:\\Torva"), tools("C:\\Tools");
    CreateDirectoryA("C:\\Torva", nullptr);
    CreateDirectoryA("C:\\Tools", nullptr);
    ts::ScopedFileBackup program("C:\\Torva\\TorvaMan9.exe"), update("C:\\Tools\\Update.exe");
    ASSERT_TRUE(CopyFileA(ts::ProgramPath().c_str(), "C:\\Torva\\TorvaMan9.exe", FALSE));
    ASSERT_TRUE(CopyFileA(ts::FixturePath("Probe").c_str(), "C:\\Tools\\Update.exe", FALSE));
    Installation inst(Installation::Options().SettingsFile("Torva9.Ini"));
    ts::ScopedUserXlStart userXlStart;
    const std::string office = inst.AddOffice(16);
    Bind(inst, {office});

    ts::TempDir dir;
    const std::string torvaXla = office + excel::kProductWorkbook;
    // The batch file, what cmd writes of its output, and the folder put in Torva.xla's way.
    testsOwn_ = {StripTrailingBackslash(dir.path()), torvaXla};
    ASSERT_TRUE(ts::WriteFileBytes(dir / "torva.bat", batch));
    const std::string run = "cmd /c " + dir / "torva.bat" + " > " + dir / "out.txt";
    Watch([&] {
        EXPECT_EQ(0, ts::RunAndWait(run)) << ts::ReadFileBytes(dir / "out.txt");
        EXPECT_TRUE(ts::FileExists(userXlStart.Path() + excel::kCommonAddin));
        // A folder where Torva.xla belongs: no association, and no box stops the run.
        ASSERT_TRUE(DeleteFileA(torvaXla.c_str()));
        ASSERT_TRUE(CreateDirectoryA(torvaXla.c_str(), nullptr));
        EXPECT_EQ(2, ts::RunAndWait(run)) << ts::ReadFileBytes(dir / "out.txt");
    });
    RemoveDirectoryA(torvaXla.c_str());
}

TEST_F(Footprint, AUserWithoutAdministratorRightsWritesOnlyWhatTheTableLists) {
    // An Office whose start-up folder turns this user's writes aside: a command-line run of edition EC
    // gives the user a Torva.xla of his own, which carries the association.
    Installation inst(Installation::Options().SettingsFile("Torva9.Ini"));
    const std::string aside = inst.AddVirtualizedOffice(16);
    ASSERT_FALSE(aside.empty()) << "the test could not link a folder into the VirtualStore";
    Bind(inst, {aside});
    ts::TempDir dir;
    const std::string program = dir / "TorvaMan9.exe";
    ASSERT_TRUE(CopyFileA(ts::ProgramPath().c_str(), program.c_str(), FALSE));
    const std::vector<fp::Change> changes = Watch([&] { EXPECT_EQ(0, ts::RunAndWait(ts::Quoted(program) + " /x")); });
    EXPECT_TRUE(Written(changes, inst.UsersTorvaXla()));
    EXPECT_TRUE(Written(changes, "HKCU\\Software\\Classes\\Excel.Sheet.8\\Shell\\Open\\ddeexec", excel::kAssociatedCommand));
}
