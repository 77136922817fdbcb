#include <gtest/gtest.h>

#include <iterator>

#include "environment/RegistryViews.h"
#include "excel/ExcelPaths.h"
#include "manager/Addin.h"
#include "manager/Association.h"
#include "manager/Settings.h"

namespace {
// Katakana "so": lead 0x83, trail 0x5C (the backslash byte).
const std::string kSo = "\x83\x5C";
// Katakana "a": its trail byte is the letter A.
const std::string kA = "\x83\x41";

std::string Folder(const std::string& source) {
    std::string folder = "<untouched>";
    EXPECT_TRUE(ExtractFolder(source, folder)) << source;
    return folder;
}
}  // namespace

TEST(ExtractFolder, DriveRootsKeepTheirBackslashOtherFoldersLoseIt) {
    EXPECT_EQ("C:\\", Folder("C:\\excel.exe"));
    EXPECT_EQ("C:\\Office", Folder("C:\\Office\\excel.exe"));
    EXPECT_EQ("", Folder("excel.exe"));
    EXPECT_EQ("", Folder(""));
    EXPECT_EQ("C:", Folder("C:excel.exe"));
    EXPECT_EQ("\\", Folder("\\excel.exe"));
    EXPECT_EQ("\\\\", Folder("\\\\excel.exe"));
    EXPECT_EQ("C:\\Office\\\\", Folder("C:\\Office\\\\excel.exe"));
}

TEST(ExtractFolder, TrailBytesAreNeitherSeparatorsNorTheByteBeforeOne) {
    // The folder ends in "so": its 0x5C must not keep the real separator after it.
    EXPECT_EQ("C:\\" + kSo, Folder("C:\\" + kSo + "\\excel.exe"));
    // A "so" in the file name is not the last separator.
    EXPECT_EQ("C:\\Office", Folder("C:\\Office\\" + kSo + "x.exe"));
    EXPECT_EQ("C:\\", Folder("C:\\" + kSo));
}

TEST(NewCommandSheetVersion, OldVersionsShareAClassNineAndTenReadEightSixteenTwelve) {
    for (int v : {-1, 0, 1, 5, 7}) EXPECT_EQ(5, NewCommandSheetVersion(v)) << v;
    for (int v : {8, 9, 10}) EXPECT_EQ(8, NewCommandSheetVersion(v)) << v;
    for (int v : {11, 12, 14, 15}) EXPECT_EQ(v, NewCommandSheetVersion(v)) << v;
    EXPECT_EQ(12, NewCommandSheetVersion(16));
}

TEST(VirtualStoreCopyOf, TheDriveGoesUnderTheLocalApplicationDataFolder) {
    const std::string store = "C:\\Users\\u\\AppData\\Local\\VirtualStore\\";
    EXPECT_EQ(store + "Program Files\\Office16\\xlstart\\Torva.xla",
              VirtualStoreCopyOf("C:\\Users\\u\\AppData\\Local", "C:\\Program Files\\Office16\\xlstart\\Torva.xla"));
    EXPECT_EQ(store + kSo + "\\x", VirtualStoreCopyOf("C:\\Users\\u\\AppData\\Local\\", "d:\\" + kSo + "\\x"));
    // Wherever the profile's roaming part was redirected, the store stays in the local folder as named.
    EXPECT_EQ("E:\\Local\\VirtualStore\\Program Files\\x", VirtualStoreCopyOf("E:\\Local", "C:\\Program Files\\x"));
    // Only a drive's paths are turned aside, and only a known folder has a store.
    for (const char* path : {"\\\\server\\share\\x", "ab\\cd", "C:x", "C:\\", "x", "", "1:\\x"})
        EXPECT_EQ("", VirtualStoreCopyOf("C:\\Users\\u\\AppData\\Local", path)) << path;
    EXPECT_EQ("", VirtualStoreCopyOf("", "C:\\Program Files\\x"));
}

TEST(SoftwareViewsFor, BothViewsExactlyWhereTheSystemHasThem) {
    const std::vector<unsigned long> own{0}, with32{0, kRegistryView32}, with64{0, kRegistryView64};
    const std::pair<Wow64Answer, std::vector<unsigned long>> of32bit[] = {
        {Wow64Answer::Unavailable, own}, {Wow64Answer::Failed, own}, {Wow64Answer::No, own}, {Wow64Answer::Yes, with64}};
    for (const auto& [answer, views] : of32bit) {
        EXPECT_EQ(views, SoftwareViewsFor(false, answer)) << static_cast<int>(answer);
        EXPECT_EQ(with32, SoftwareViewsFor(true, answer)) << static_cast<int>(answer);
    }
}

TEST(ExcelPathInCommand, CutsAfterTheProgramLowerCasedAndUnquoted) {
    EXPECT_EQ("c:\\program files\\microsoft office\\office11\\excel.exe",
              ExcelPathInCommand("\"C:\\Program Files\\Microsoft Office\\Office11\\EXCEL.EXE\" /e"));
    EXPECT_EQ("c:\\office\\excel.exe", ExcelPathInCommand("C:\\OFFICE\\Excel.exe /e \"%1\""));
    EXPECT_EQ("excel.exe", ExcelPathInCommand("\"EXCEL.EXE"));
    EXPECT_EQ("", ExcelPathInCommand("C:\\Office\\calc.exe /e"));
    EXPECT_EQ("", ExcelPathInCommand(""));
    // Only the first occurrence counts.
    EXPECT_EQ("d:\\excel.exe", ExcelPathInCommand("D:\\EXCEL.EXE\\excel.exe"));
}

TEST(ExcelPathInCommand, DoubleByteNamesAreNotFolded) {
    // Folding the trail byte A of "a" would name another folder.
    EXPECT_EQ("c:\\" + kA + "\\excel.exe", ExcelPathInCommand("\"C:\\" + kA + "\\EXCEL.EXE\" /e"));
    EXPECT_EQ("c:\\" + kSo + "\\excel.exe", ExcelPathInCommand("C:\\" + kSo + "\\EXCEL.EXE"));
}

TEST(ProfileFolderOfAppData, CutsBeforeEitherSpellingOfTheFolder) {
    EXPECT_EQ("C:\\Documents and Settings\\user",
              ProfileFolderOfAppData("C:\\Documents and Settings\\user\\Application Data"));
    EXPECT_EQ("C:\\Users\\user", ProfileFolderOfAppData("C:\\Users\\user\\AppData\\Roaming"));
    // "Application Data" wins wherever it stands.
    EXPECT_EQ("C:\\AppData\\u", ProfileFolderOfAppData("C:\\AppData\\u\\Application Data"));
    EXPECT_EQ("C:\\Users\\" + kSo, ProfileFolderOfAppData("C:\\Users\\" + kSo + "\\AppData\\Roaming"));
}

TEST(ProfileFolderOfAppData, RootsCaseAndMissingNamesGiveNothing) {
    EXPECT_EQ("", ProfileFolderOfAppData("D:\\AppData"));
    EXPECT_EQ("", ProfileFolderOfAppData("AppData\\Roaming"));
    EXPECT_EQ("", ProfileFolderOfAppData("C:\\Users\\user\\appdata\\Roaming"));
    EXPECT_EQ("", ProfileFolderOfAppData("C:\\Profiles\\user"));
    EXPECT_EQ("", ProfileFolderOfAppData(""));
    EXPECT_EQ("C:\\a", ProfileFolderOfAppData("C:\\a\\AppData"));
}

TEST(UserXlStartFolder, UnderTheApplicationDataFolderOrElseTheWindowsFolder) {
    EXPECT_EQ("C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Excel\\xlstart",
              UserXlStartFolder("C:\\Users\\u\\AppData\\Roaming", "C:\\WINDOWS"));
    EXPECT_EQ("C:\\Documents and Settings\\u\\Application Data\\Microsoft\\Excel\\xlstart",
              UserXlStartFolder("C:\\Documents and Settings\\u\\Application Data\\", "C:\\WINDOWS"));
    EXPECT_EQ("C:\\WINDOWS\\Application Data\\Microsoft\\Excel\\xlstart", UserXlStartFolder("", "C:\\WINDOWS"));
    EXPECT_EQ("C:\\Application Data\\Microsoft\\Excel\\xlstart", UserXlStartFolder("D:\\Roaming", "C:\\"));
}

TEST(SettingsFileNameFor, ThreeFilesForTheEditions) {
    for (int v : {-3, 0, 5, 7}) EXPECT_EQ("Torva.Ini", SettingsFileNameFor(v)) << v;
    EXPECT_EQ("Torva8.Ini", SettingsFileNameFor(8));
    for (int v : {9, 10, 12, 14, 98}) EXPECT_EQ("Torva9.Ini", SettingsFileNameFor(v)) << v;
}

TEST(GetSheetClassName, FiveUpToSevenEightFromThenOn) {
    for (int v : {-1, 0, 5, 7}) EXPECT_EQ("Excel.Sheet.5", GetSheetClassName(v)) << v;
    for (int v : {8, 9, 10, 12, 14}) EXPECT_EQ("Excel.Sheet.8", GetSheetClassName(v)) << v;
}

TEST(IsAssociatedCommand, RunInAnyCaseCounts) {
    EXPECT_TRUE(IsAssociatedCommand("[Run(\"PushMsg\")][MESSAGE(TRUE,\"%1\")][Run(\"InitTorva\")]"));
    EXPECT_TRUE(IsAssociatedCommand("[open(\"%1\")][run(\"x\")]"));
    EXPECT_FALSE(IsAssociatedCommand("[open(\"%1\")]"));
    EXPECT_FALSE(IsAssociatedCommand("RUN(\"x\")"));
    EXPECT_FALSE(IsAssociatedCommand(""));
}

TEST(SameFileIdentity, TheIndexDecidesAndWhereBothAreZeroTheSharingTest) {
    const FileIdentity one{7, 0, 42}, other{7, 0, 43}, elsewhere{8, 0, 42}, high{7, 1, 0}, zero{7, 0, 0},
        zeroElsewhere{8, 0, 0};
    const struct {
        FileIdentity a, b;
        bool openedBoth, asked, same;
    } cases[] = {
        {one, one, true, false, true},  // two names for one file
        {one, other, false, false, false},
        {one, elsewhere, false, false, false},
        {high, high, true, false, true},
        {high, zero, false, false, false},
        // No index on either: a path tells nothing (8.3 names, a mapped drive against its UNC path).
        {zero, zero, false, true, true},  // the second open was refused: one file, or no telling
        {zero, zero, true, true, false},
        {zero, zeroElsewhere, false, false, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        bool asked = false;
        EXPECT_EQ(c.same, SameFileIdentity(c.a, c.b, [&] {
                      asked = true;
                      return c.openedBoth;
                  })) << "case " << i + 1;
        EXPECT_EQ(c.asked, asked) << "case " << i + 1;
    }
}

// Each Office start-up folder: T takes new files, H refuses them but holds an administrator's Torva.xla,
// R refuses them and holds none. Plans: an action for each folder (Place, reFresh, Remove, -), then the
// user's own copy; "x" where nothing may be placed.
TEST(PlanOfficeCopies, EachExcelSeesOneTorvaXlaAndNothingIsTakenThatCannotComeBack) {
    const struct {
        const char* folders;
        const char *withUserFolder, *withoutUserFolder, *withdrawing;
    } cases[] = {
        {"", "/R", "/R", "/R"},         {"T", "P/R", "P/R", "R/R"},     {"H", "F/R", "F/R", "-/R"},
        {"R", "-/P", "x", "-/R"},       {"TT", "PP/R", "PP/R", "RR/R"}, {"TH", "PF/R", "PF/R", "R-/R"},
        {"HT", "FP/R", "FP/R", "-R/R"}, {"TR", "R-/P", "x", "R-/R"},    {"RT", "-R/P", "x", "-R/R"},
        {"HH", "FF/R", "FF/R", "--/R"}, {"HR", "x", "x", "--/R"},       {"RH", "x", "x", "--/R"},
        {"RR", "--/P", "x", "--/R"},
    };
    auto plan = [](int mode, const std::string& folders, bool userFolder) {
        std::vector<StartupFolderAccess> access;
        for (char c : folders)
            access.push_back(c == 'T' ? StartupFolderAccess::Takes
                             : c == 'H' ? StartupFolderAccess::Holds
                                        : StartupFolderAccess::Refuses);
        const OfficeCopyPlan p = PlanOfficeCopies(mode, access, userFolder);
        auto letter = [](CopyAction a) {
            return a == CopyAction::Place ? 'P' : a == CopyAction::Refresh ? 'F' : a == CopyAction::Remove ? 'R' : '-';
        };
        std::string text;
        for (CopyAction a : p.folders) text += letter(a);
        if (!p.feasible) return text == std::string(folders.size(), '-') && p.userCopy == CopyAction::None
                                    ? std::string("x") : "infeasible, yet " + text;
        return text + "/" + letter(p.userCopy);
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.withUserFolder, plan(1, c.folders, true)) << c.folders;
        EXPECT_EQ(c.withoutUserFolder, plan(1, c.folders, false)) << c.folders;
        for (bool userFolder : {true, false}) EXPECT_EQ(c.withdrawing, plan(2, c.folders, userFolder)) << c.folders;
    }
}
