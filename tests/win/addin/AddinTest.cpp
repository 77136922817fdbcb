// Switching the add-in by placing the common add-in workbook, in this process.
#include <gtest/gtest.h>

#include "environment/OsVersion.h"
#include "environment/StrUtils.h"
#include "excel/ExcelFacts.h"
#include "manager/Addin.h"
#include "support/Installation.h"

using ts::Installation;

namespace {
const std::string kBytes = Installation::AddinBytes();

// Files are taken to report index 0 for the scope, as on volumes without file indexes.
class NoFileIndexes {
public:
    NoFileIndexes() { SetFileIndexesUnreported(true); }
    ~NoFileIndexes() { SetFileIndexesUnreported(false); }
};

// Where no file index tells, a second open beside an exclusive one does: one file under its long
// and its 8.3 folder name (which no full path name expands) keeps its only copy, and two files are
// still two.
void ExpectIdentityWithoutFileIndexes() {
    const NoFileIndexes noIndexes;
    ts::TempDir dir;
    const std::string folder = dir / "Excel start-up folder";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    char shortFolder[MAX_PATH] = {};
    const DWORD n = GetShortPathNameA(folder.c_str(), shortFolder, sizeof shortFolder);
    ASSERT_TRUE(n > 0 && n < sizeof shortFolder);
    ASSERT_FALSE(SameTextAscii(folder, shortFolder)) << "the folder has no other name";
    const std::string installed = folder + "\\" + excel::kCommonAddin;
    const std::string otherSpelling = std::string(shortFolder) + "\\" + excel::kCommonAddin;
    const std::string parked = dir / excel::kCommonAddin;
    ASSERT_TRUE(ts::WriteFileBytes(installed, kBytes));
    ASSERT_TRUE(ts::WriteFileBytes(parked, kBytes));

    EXPECT_FALSE(SwitchAddinFile(installed, otherSpelling, 2));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(installed));
    EXPECT_FALSE(SwitchAddinFile(otherSpelling, installed, 2));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(installed));
    EXPECT_TRUE(SwitchAddinFile(installed, parked, 2));
    EXPECT_FALSE(ts::FileExists(installed));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(parked));
}
}  // namespace

TEST(AddinState, TheInstalledCopyIsTestedFirst) {
    Installation both(Installation::Options().Registered());
    EXPECT_EQ(0, AddinStateOf(both.Installed(), both.Parked()));
    DeleteFileA(both.Installed().c_str());
    EXPECT_EQ(1, AddinStateOf(both.Installed(), both.Parked()));
    DeleteFileA(both.Parked().c_str());
    EXPECT_EQ(-1, AddinStateOf(both.Installed(), both.Parked()));
    EXPECT_EQ(-1, AddinStateOf("", ""));
}

TEST(SwitchAddinFile, RegisterCopiesAndReplaces) {
    Installation inst;
    ASSERT_TRUE(ts::WriteFileBytes(inst.Installed(), "an older copy"));
    EXPECT_TRUE(SwitchAddinFile(inst.Installed(), inst.Parked(), 1));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Installed()));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Parked()));
}

TEST(SwitchAddinFile, RemoveDeletesOnlyTheInstalledCopyEvenReadOnly) {
    Installation inst(Installation::Options().Registered());
    SetFileAttributesA(inst.Installed().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(SwitchAddinFile(inst.Installed(), inst.Parked(), 2));
    EXPECT_FALSE(ts::FileExists(inst.Installed()));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Parked()));
}

TEST(SwitchAddinFile, RemoveWithoutTheParkedCopyMovesTheInstalledOneBack) {
    Installation inst(Installation::Options().Registered());
    DeleteFileA(inst.Parked().c_str());
    EXPECT_TRUE(SwitchAddinFile(inst.Installed(), inst.Parked(), 2));
    EXPECT_FALSE(ts::FileExists(inst.Installed()));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Parked()));
    EXPECT_EQ(1, AddinStateOf(inst.Installed(), inst.Parked()));
}

TEST(SwitchAddinFile, RemoveFailsWhenThereIsNothingToRemove) {
    Installation inst;
    EXPECT_FALSE(SwitchAddinFile(inst.Installed(), inst.Parked(), 2));
    DeleteFileA(inst.Parked().c_str());
    EXPECT_FALSE(SwitchAddinFile(inst.Installed(), inst.Parked(), 2));
}

TEST(SwitchAddinFile, TwoNamesForOneFileNeverLoseIt) {
    // A product folder that is the start-up folder itself: "removing" would delete the only copy.
    Installation inst(Installation::Options().Registered());
    EXPECT_FALSE(SwitchAddinFile(inst.Installed(), inst.Installed(), 2));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Installed()));
    const std::string otherSpelling = inst.XlStartFolder() + ".\\" + excel::kCommonAddin;
    EXPECT_FALSE(SwitchAddinFile(inst.Installed(), otherSpelling, 2));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Installed()));
    ExpectIdentityWithoutFileIndexes();
}

TEST(SwitchAddinFile, ALockedInstalledCopyIsAFailureAndStays) {
    Installation inst(Installation::Options().Registered());
    UniqueHandle lock(CreateFileA(inst.Installed().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_FALSE(SwitchAddinFile(inst.Installed(), inst.Parked(), 2));
    lock.reset();
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Installed()));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Parked()));
}

TEST(SwitchOfficeStartupFile, EveryOfficeInEitherRegistryViewOnceAndEachFailureReported) {
    Installation inst;
    EXPECT_TRUE(SwitchOfficeStartupFile(inst.ProductFolder(), 1));  // no Office at all: nothing to do

    const std::string office11 = inst.AddOffice(11);
    inst.AddOffice(12, /*createXlStart=*/false);  // what an uninstalled Office leaves: not counted
    const std::string office14 = inst.AddOffice(14);
    ASSERT_TRUE(CreateDirectoryA((office14 + excel::kProductWorkbook).c_str(), nullptr));
    const std::string office15 = inst.AddOffice(15);
    const std::string office16 = inst.AddOffice(16);
    const std::string office16Other = inst.AddOffice(16, true, /*otherView=*/true);
    // The same folder in both views is switched once.
    UniqueHKey other = ts::OpenOtherViewSoftware();
    ASSERT_TRUE(ts::RegSet(other.get(), "Microsoft\\Office\\11.0\\Excel\\InstallRoot", "Path",
                           office11.substr(0, office11.size() - 8)));
    const std::string product = inst.ProductFolder();
    OfficeSwitchReport report;
    // Without the trailing backslash too: the folder is completed.
    EXPECT_FALSE(SwitchOfficeStartupFile(product.substr(0, product.size() - 1), 1, &report));
    for (const std::string& folder : {office11, office15, office16, office16Other})
        EXPECT_EQ("TORVA.XLA BYTES", ts::ReadFileBytes(folder + excel::kProductWorkbook)) << folder;
    EXPECT_EQ(4u, report.created.size());
    EXPECT_TRUE(report.refused.empty());
    ASSERT_EQ(1u, report.failed.size());
    EXPECT_EQ(office14, report.failed[0]);

    EXPECT_TRUE(SwitchOfficeStartupFile(product, 2));  // nothing to withdraw from Office 14 is no failure
    for (const std::string& folder : {office11, office15, office16, office16Other})
        EXPECT_FALSE(ts::FileExists(folder + excel::kProductWorkbook)) << folder;
    EXPECT_TRUE(ts::FileExists(product + excel::kProductWorkbook));
}

// A folder that refuses this user new files and holds none: Windows turns the write aside into the
// VirtualStore, where Excel never looks. Every Excel from 9 on also opens the user's own start-up folder,
// so the copy goes there, and none stays beside it in a folder that takes one.
TEST(SwitchOfficeStartupFile, WhereAFolderRefusesTheCopyIsTheUsersOwnAndTheOnlyOne) {
    Installation inst;
    const std::string plain = inst.AddOffice(11);
    ASSERT_TRUE(ts::WriteFileBytes(plain + excel::kProductWorkbook, "EARLIER"));
    const std::string stale = inst.PutVirtualStoreCopy(plain + excel::kProductWorkbook, "STALE");
    const std::string aside = inst.AddVirtualizedOffice(16);
    ASSERT_FALSE(aside.empty()) << "the test could not link a folder into the VirtualStore";

    OfficeSwitchReport report;
    EXPECT_TRUE(SwitchOfficeStartupFile(inst.ProductFolder(), 1, &report));
    EXPECT_EQ("TORVA.XLA BYTES", ts::ReadFileBytes(inst.UsersTorvaXla()));
    EXPECT_EQ(std::vector<std::string>{inst.UsersTorvaXla()}, report.created);
    EXPECT_FALSE(ts::FileExists(plain + excel::kProductWorkbook));
    EXPECT_FALSE(ts::FileExists(stale));
    // The folder was asked without leaving anything, in it or in the VirtualStore.
    EXPECT_FALSE(ts::FileExists(Installation::VirtualStoreCopy(aside + excel::kProductWorkbook)));
    EXPECT_FALSE(ts::FileExists(Installation::VirtualStoreCopy(aside + "TorvaMan.probe")));
    EXPECT_FALSE(ts::FileExists(plain + "TorvaMan.probe"));

    // Withdrawing takes the user's copy, and one an earlier redirected write left behind.
    ASSERT_TRUE(ts::WriteFileBytes(stale, "STALE"));
    EXPECT_TRUE(SwitchOfficeStartupFile(inst.ProductFolder(), 2));
    EXPECT_FALSE(ts::FileExists(stale));
    EXPECT_FALSE(ts::FileExists(inst.UsersTorvaXla()));

    // Beside an administrator's copy in another folder, one of the user's own would give that Excel two.
    const std::string held = inst.AddOffice(14);
    ASSERT_TRUE(ts::WriteFileBytes(held + excel::kProductWorkbook, "ADMIN'S"));
    inst.RefuseNewFiles(held);
    report = {};
    EXPECT_FALSE(SwitchOfficeStartupFile(inst.ProductFolder(), 1, &report));
    EXPECT_EQ(std::vector<std::string>{aside}, report.refused);
    EXPECT_TRUE(report.created.empty() && report.failed.empty());
    EXPECT_EQ("ADMIN'S", ts::ReadFileBytes(held + excel::kProductWorkbook));
    EXPECT_FALSE(ts::FileExists(inst.UsersTorvaXla()));
    EXPECT_FALSE(ts::FileExists(plain + excel::kProductWorkbook));
}

TEST(SwitchAddin, AlreadyInTheWantedStateTouchesNothing) {
    Installation inst(Installation::Options().Registered());
    ts::RegSet(HKEY_CURRENT_USER, "Software\\Classes\\Excel.Sheet.5\\Shell\\Open\\ddeexec", "", "mine");
    EXPECT_TRUE(SwitchAddin("S"));
    EXPECT_TRUE(inst.Registered());
    EXPECT_EQ("mine", Installation::DdeCommand("Excel.Sheet.5"));

    DeleteFileA(inst.Installed().c_str());
    EXPECT_TRUE(SwitchAddin("E"));
    EXPECT_FALSE(inst.Registered());
    EXPECT_EQ("mine", Installation::DdeCommand("Excel.Sheet.5"));
}

TEST(SwitchAddin, SwitchesTheFileTheAssociationAndTheOfficeCopies) {
    Installation inst;
    const std::string office = inst.AddOffice(11);
    EXPECT_TRUE(SwitchAddin("S"));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Installed()));
    EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand("Excel.Sheet.5"));
    EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand("Excel.CSV"));
    EXPECT_TRUE(ts::FileExists(office + excel::kProductWorkbook));

    EXPECT_TRUE(SwitchAddin("E"));
    EXPECT_FALSE(inst.Registered());
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Parked()));
    EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand("Excel.Sheet.5"));
    EXPECT_FALSE(ts::FileExists(office + excel::kProductWorkbook));

    // Any other letter toggles.
    EXPECT_TRUE(SwitchAddin("s"));
    EXPECT_TRUE(inst.Registered());
    EXPECT_TRUE(SwitchAddin(""));
    EXPECT_FALSE(inst.Registered());
}

// Explorer's command calls macros that Torva.xla brings: without it in every Office, Excel's own command goes
// back, and of the copies only those this attempt created go with it.
TEST(SwitchAssociation, WithoutTorvaXlaEverywhereTheAssociationIsTakenBack) {
    ts::MessageBoxRecorder boxes;
    Installation inst;
    const std::string takes = inst.AddOffice(9);
    const std::string overwritten = inst.AddOffice(10);
    ASSERT_TRUE(ts::WriteFileBytes(overwritten + excel::kProductWorkbook, "THERE BEFORE"));
    const std::string inTheWay = inst.AddOffice(11);
    ASSERT_TRUE(CreateDirectoryA((inTheWay + excel::kProductWorkbook).c_str(), nullptr));
    // Where the association is the machine's, the user's own folder is no business of the program's.
    const bool users = HasUserClasses();
    if (users) {
        ASSERT_TRUE(inst.PutUsersTorvaXla("USER'S"));
    }
    OfficeSwitchReport report;
    EXPECT_FALSE(SwitchAssociation(5, inst.ProductFolder(), 1, &report));
    EXPECT_EQ(std::vector<std::string>{inTheWay}, report.failed);
    EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand("Excel.Sheet.5"));
    EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand(excel::kCsv));
    EXPECT_FALSE(ts::FileExists(takes + excel::kProductWorkbook));
    EXPECT_TRUE(ts::FileExists(overwritten + excel::kProductWorkbook));
    EXPECT_FALSE(ts::FileExists(inst.UsersTorvaXla()));
    // The command line's switch does the same without a word, and its run goes on.
    if (ts::RunningUnder().empty()) {
        ts::RegDeleteTree(HKEY_CURRENT_USER, "Software\\Classes\\Excel.Sheet.5");
        EXPECT_TRUE(SwitchAddin("S"));
        EXPECT_TRUE(inst.Registered());
        EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand("Excel.Sheet.5"));
        EXPECT_FALSE(ts::FileExists(takes + excel::kProductWorkbook));
    }
    EXPECT_TRUE(boxes.calls().empty());
    RemoveDirectoryA((inTheWay + excel::kProductWorkbook).c_str());
}

// Files first, then the command: a command that cannot be written for every class is no association, and
// where Excel's own cannot be written back either, the copies stay for the classes that may still call them.
TEST(SwitchAssociation, ACommandThatCannotBeWrittenIsNoAssociation) {
    Installation inst;
    const std::string office = inst.AddOffice(9);
    const bool machine = !HasUserClasses();
    const HKEY root = machine ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
    const std::string csv = std::string(machine ? "" : "Software\\Classes\\") + "Excel.CSV\\Shell\\Open\\ddeexec";
    ASSERT_TRUE(ts::RegSet(root, csv, "", excel::kPlainOpenCommand));
    OfficeSwitchReport report;
    {
        ts::ReadOnlyKey csvClosed(root, csv);
        EXPECT_FALSE(SwitchAssociation(5, inst.ProductFolder(), 1, &report));
    }
    EXPECT_TRUE(report.commandFailed);
    EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand("Excel.Sheet.5"));

    ASSERT_TRUE(SwitchAssociation(5, inst.ProductFolder(), 1));
    ts::ReadOnlyKey csvClosed(root, csv);
    report = {};
    EXPECT_FALSE(SwitchAssociation(5, inst.ProductFolder(), 2, &report));
    EXPECT_TRUE(report.commandFailed);
    EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand("Excel.Sheet.5"));
    EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand(excel::kCsv));
    EXPECT_TRUE(ts::FileExists(office + excel::kProductWorkbook));  // Excel.CSV still calls its macros
}

// Without administrator rights, an Office folder that refuses new files but holds the copy an administrator
// placed: no switch takes away what this user could not put back, and the association stands on it.
TEST(SwitchAssociation, AnAdministratorsCopyStaysAndCarriesTheAssociation) {
    Installation inst;
    const std::string held = inst.AddOffice(16);
    ASSERT_TRUE(ts::WriteFileBytes(held + excel::kProductWorkbook, "ADMIN'S"));
    inst.RefuseNewFiles(held);
    if (HasUserClasses()) {
        ASSERT_TRUE(inst.PutUsersTorvaXla("USER'S"));  // an Excel must not find two
    }
    EXPECT_TRUE(SwitchAssociation(5, inst.ProductFolder(), 1));
    EXPECT_EQ("TORVA.XLA BYTES", ts::ReadFileBytes(held + excel::kProductWorkbook));  // overwritten: allowed here
    EXPECT_FALSE(ts::FileExists(inst.UsersTorvaXla()));
    EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand("Excel.Sheet.5"));
    EXPECT_TRUE(SwitchAssociation(5, inst.ProductFolder(), 2));
    EXPECT_TRUE(ts::FileExists(held + excel::kProductWorkbook));
    EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand("Excel.Sheet.5"));
}

TEST(SwitchAddin, AnUndeterminableStateIsFalseWithoutAMessage) {
    ts::MessageBoxRecorder boxes;
    {
        Installation noDir(Installation::Options().WithoutProductDir());
        EXPECT_FALSE(SwitchAddin("E"));
        EXPECT_FALSE(SwitchAddin("S"));
    }
    {
        Installation nothing;
        DeleteFileA(nothing.Parked().c_str());
        EXPECT_FALSE(SwitchAddin("S"));
    }
    EXPECT_TRUE(boxes.calls().empty());
}

TEST(SwitchAddin, AFailedSwitchShowsTheMessageAndLeavesTheAssociation) {
    ts::MessageBoxRecorder boxes;
    Installation inst(Installation::Options().XlStartIsAFile());  // the copy cannot be made
    ts::RegSet(HKEY_CURRENT_USER, "Software\\Classes\\Excel.Sheet.5\\Shell\\Open\\ddeexec", "", "mine");
    EXPECT_FALSE(SwitchAddin("S"));
    ASSERT_EQ(1u, boxes.calls().size());
    EXPECT_EQ("システムエラー", boxes.calls()[0].caption);
    EXPECT_EQ("システムエラーが発生したため\rTorvaをアドイン登録することができませんでした。\r\r"
              "Torvaマネージャを強制終了します。",
              boxes.calls()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes.calls()[0].flags);
    EXPECT_EQ("mine", Installation::DdeCommand("Excel.Sheet.5"));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Parked()));
}

TEST(SwitchAddin, ALockedInstalledCopyIsReportedNotLost) {
    ts::MessageBoxRecorder boxes;
    Installation inst(Installation::Options().Registered());
    UniqueHandle lock(CreateFileA(inst.Installed().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(SwitchAddin("E"));
    lock.reset();
    ASSERT_EQ(1u, boxes.calls().size());
    EXPECT_NE(std::string::npos, boxes.calls()[0].text.find("Torvaのアドイン解除することができませんでした。"));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Installed()));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Parked()));
}

// The Windows 9x line opens no file with FILE_SHARE_DELETE: the same-file guard opens
// the two names another way there, and must still see one file behind them.
TEST(SwitchAddinFileOn9x, TwoNamesForOneFileNeverLoseIt) {
    REQUIRE_WINDOWS_VERSION("win98");
    Installation inst(Installation::Options().Registered());
    const std::string otherSpelling = inst.XlStartFolder() + ".\\" + excel::kCommonAddin;
    EXPECT_FALSE(SwitchAddinFile(inst.Installed(), otherSpelling, 2));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Installed()));
    SetFileAttributesA(inst.Installed().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(SwitchAddinFile(otherSpelling, inst.Installed(), 2));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Installed()));
    // Two files are still two: the installed copy goes, the parked one stays.
    EXPECT_TRUE(SwitchAddinFile(inst.Installed(), inst.Parked(), 2));
    EXPECT_FALSE(ts::FileExists(inst.Installed()));
    EXPECT_EQ(kBytes, ts::ReadFileBytes(inst.Parked()));
    ExpectIdentityWithoutFileIndexes();
}

TEST(FamilyRuns, SwitchAddinFileOnWindows98) {
    EXPECT_EQ(0, ts::RunSelfAs("win98", "SwitchAddinFileOn9x.*:SwitchAssociation.*"));
}
