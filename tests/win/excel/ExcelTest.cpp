#include <gtest/gtest.h>
#include <shlobj.h>

#include "environment/OsVersion.h"
#include "environment/Profile.h"
#include "environment/Registry.h"
#include "excel/ExcelLocation.h"
#include "manager/Association.h"
#include "manager/Settings.h"
#include "support/TestSupport.h"

namespace {
const HKEY HKCR = HKEY_CLASSES_ROOT, HKCU = HKEY_CURRENT_USER, HKLM = HKEY_LOCAL_MACHINE;
const std::string kSo = "\x83\x5C";  // katakana "so", trail byte 0x5C
const std::string kTestKey = "Software\\TorvaTest";
const std::string kAssociated = "[Run(\"PushMsg\")][MESSAGE(TRUE,\"%1\")][Run(\"InitTorva\")]";
const std::string kPlain = "[open(\"%1\")]";

using ts::ReadOnlyKey;

std::string Get(HKEY root, const std::string& path, const std::string& name = "") {
    std::string v;
    return ts::RegGet(root, path, name, v) ? v : "<none>";
}

std::string AppDataFolder() {
    char buf[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf);
    return buf;
}
std::string Env(const char* name) {
    char buf[1024] = {};
    const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n < sizeof buf ? std::string(buf, n) : std::string();
}
}  // namespace

// ---- registry routines -------------------------------------------------------------------

TEST(Registry, EachReaderKeepsToItsBuffer) {
    ts::ScopedRegKey scope(HKCU, kTestKey);
    ts::RegSet(HKCU, kTestKey, "", std::string(511, 'd'));  // 512 bytes with its zero
    ts::RegSet(HKCU, kTestKey, "q", std::string(510, 'q'));
    ts::RegSet(HKCU, kTestKey + "\\Long", "", std::string(600, 'l'));
    ts::RegSet(HKCU, kTestKey + "\\Sub", "", "sub");
    EXPECT_EQ(std::string(511, 'd'), RegReadDefault(HKCU, kTestKey, ""));
    EXPECT_EQ("sub", RegReadDefault(HKCU, kTestKey, "Sub"));
    EXPECT_EQ("", RegReadDefault(HKCU, kTestKey, "Long"));
    EXPECT_EQ(std::string(600, 'l'), RegReadString(HKCU, kTestKey + "\\Long", ""));
    EXPECT_EQ(std::string(510, 'q'), RegQueryString(HKCU, kTestKey, "q"));
    EXPECT_EQ("", RegQueryString(HKCU, kTestKey, ""));
    EXPECT_EQ("", RegReadDefault(HKCU, kTestKey + "\\Missing", ""));
    EXPECT_EQ("", RegQueryString(HKCU, kTestKey + "\\Missing", ""));
    EXPECT_EQ("", RegReadString(HKCU, kTestKey + "\\Missing", ""));
    EXPECT_FALSE(ts::RegKeyExists(HKCU, kTestKey + "\\Missing"));
}

TEST(Registry, ValuesOfOtherTypes) {
    ts::ScopedRegKey scope(HKCU, kTestKey);
    ts::RegSetBinary(HKCU, kTestKey, "dword", std::string("ABC\0", 4), REG_DWORD);
    ts::RegSetBinary(HKCU, kTestKey, "bin", std::string("xy\0z", 4), REG_BINARY);
    ts::RegSetBinary(HKCU, kTestKey, "full", std::string(511, 'b'), REG_BINARY);  // no zero byte at all
    ts::RegSet(HKCU, kTestKey, "exp", "%WINDIR%\\x", REG_EXPAND_SZ);
    EXPECT_EQ("ABC", RegQueryString(HKCU, kTestKey, "dword"));
    EXPECT_EQ("xy", RegQueryString(HKCU, kTestKey, "bin"));
    EXPECT_EQ(std::string(511, 'b'), RegQueryString(HKCU, kTestKey, "full"));
    EXPECT_EQ("", RegReadString(HKCU, kTestKey, "dword"));
    EXPECT_EQ("", RegReadString(HKCU, kTestKey, "bin"));
    EXPECT_EQ("%WINDIR%\\x", RegReadString(HKCU, kTestKey, "exp"));
}

TEST(Registry, KeyClosedToFullAccessAndWrites) {
    ts::ScopedRegKey scope(HKCU, kTestKey);
    ASSERT_TRUE(RegWriteString(HKCU, kTestKey + "\\a\\b", "name", "v"));
    DWORD type = 0;
    UniqueHKey k;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKCU, (kTestKey + "\\a\\b").c_str(), 0, KEY_READ, k.put()));
    RegQueryValueExA(k.get(), "name", nullptr, &type, nullptr, nullptr);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ("v", RegReadString(HKCU, kTestKey + "\\a\\b", "name"));

    ASSERT_TRUE(RegWriteString(HKCU, kTestKey + "\\ro", "", "ro"));
    ReadOnlyKey ro(HKCU, kTestKey + "\\ro");
    EXPECT_EQ("", RegReadString(HKCU, kTestKey + "\\ro", ""));
    EXPECT_EQ("ro", RegQueryString(HKCU, kTestKey + "\\ro", ""));
    EXPECT_EQ("ro", RegReadDefault(HKCU, kTestKey, "ro"));
    EXPECT_FALSE(RegWriteString(HKCU, kTestKey + "\\ro", "", "changed"));
    EXPECT_EQ("ro", Get(HKCU, kTestKey + "\\ro"));
}

// ---- Excel and Office locations -----------------------------------------------------------

TEST(ExcelExePath, EachVersionReadsItsClassOrElseAppPaths) {
    const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\EXCEL.EXE";
    ts::ScopedRegKey s5(HKCR, "Excel.Sheet.5"), s8(HKCR, "Excel.Sheet.8"), s11(HKCR, "Excel.Sheet.11"),
        s12(HKCR, "Excel.Sheet.12"), s14(HKCR, "Excel.Sheet.14"), app(HKLM, appPaths);
    const std::string cmd = "\\Shell\\New\\command";
    ts::RegSet(HKCR, "Excel.Sheet.5" + cmd, "", "C:\\XL5\\EXCEL.EXE");
    ts::RegSet(HKCR, "Excel.Sheet.8" + cmd, "", "\"C:\\XL8\\Excel.exe\" /e");
    ts::RegSet(HKCR, "Excel.Sheet.11" + cmd, "", "\"C:\\Program Files\\Microsoft Office\\Office11\\EXCEL.EXE\" /e");
    ts::RegSet(HKCR, "Excel.Sheet.12" + cmd, "", "C:\\XL12\\EXCEL.EXE /e");
    ts::RegSet(HKCR, "Excel.Sheet.14" + cmd, "", "C:\\XL14\\calc.exe /e");
    ts::RegSet(HKLM, appPaths, "", "C:\\AppPaths\\EXCEL.EXE");
    const std::pair<int, std::string> cases[] = {
        {0, "c:\\xl5\\excel.exe"},  {5, "c:\\xl5\\excel.exe"},  {7, "c:\\xl5\\excel.exe"},
        {8, "c:\\xl8\\excel.exe"},  {9, "c:\\xl8\\excel.exe"},  {10, "c:\\xl8\\excel.exe"},
        {11, "c:\\program files\\microsoft office\\office11\\excel.exe"},
        {12, "c:\\xl12\\excel.exe"}, {14, "C:\\AppPaths\\EXCEL.EXE"}, {15, "C:\\AppPaths\\EXCEL.EXE"}};
    for (const auto& [version, expected] : cases) {
        std::string path = "<untouched>";
        EXPECT_TRUE(GetExcelExePath(path, version));
        EXPECT_EQ(expected, path) << version;
    }
    ts::RegDeleteTree(HKLM, appPaths);
    std::string path = "<untouched>";
    EXPECT_TRUE(GetExcelExePath(path, 14));
    EXPECT_EQ("", path);
}

TEST(XlStartFolder, ExcelsFolderUpToEightTheUsersFromNine) {
    std::string f;
    for (int v : {0, 5, 8}) {
        EXPECT_TRUE(GetXlStartFolder(f, "C:\\Office", v));
        EXPECT_EQ("C:\\Office\\XLSTART", f);
    }
    EXPECT_TRUE(GetXlStartFolder(f, "C:\\" + kSo, 8));
    EXPECT_EQ("C:\\" + kSo + "\\XLSTART", f);
    EXPECT_FALSE(GetXlStartFolder(f, "", 8));
    EXPECT_EQ("", f);
    for (int v : {9, 12}) {
        EXPECT_TRUE(GetXlStartFolder(f, "C:\\Office", v));
        EXPECT_EQ(AppDataFolder() + "\\Microsoft\\Excel\\xlstart", f);
    }
    EXPECT_EQ(Env("USERPROFILE"), GetUserProfileFolder());
}

TEST(XlStartFolder, WithoutAnApplicationDataFolderTheWindowsFolderServes) {
    const std::string shell = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    ts::ScopedRegKey user(HKCU, shell + "User Shell Folders"), resolved(HKCU, shell + "Shell Folders");
    const std::string expected = GetWindowsFolder() + "\\Application Data\\Microsoft\\Excel\\xlstart";
    const std::string roam = GetWindowsFolder() + "\\TorvaRoam";
    CreateDirectoryA(roam.c_str(), nullptr);
    // A folder the shell hands out but that is no application-data folder, then one it cannot hand out.
    for (const std::string& folder : {roam, roam + "\\missing"}) {
        ts::RegSet(HKCU, shell + "User Shell Folders", "AppData", folder, REG_EXPAND_SZ);
        std::string f;
        EXPECT_TRUE(GetXlStartFolder(f, "", 9));
        EXPECT_EQ(expected, f) << folder;
        EXPECT_EQ("", GetUserProfileFolder()) << folder;
    }
    ts::RemoveTree(roam);
}

TEST(OfficeXlStartFolder, InstallRootReadEitherWay) {
    ts::ScopedRegKey office(HKLM, "SOFTWARE\\Microsoft\\Office");
    ts::RegSet(HKLM, "SOFTWARE\\Microsoft\\Office\\11.0\\Excel\\InstallRoot", "Path", "C:\\Office11");
    ts::RegSet(HKLM, "SOFTWARE\\Microsoft\\Office\\14.0\\Excel\\InstallRoot", "Path", "C:\\Office14\\");
    ReadOnlyKey ro(HKLM, "SOFTWARE\\Microsoft\\Office\\14.0\\Excel\\InstallRoot");
    std::string f = "<untouched>";
    EXPECT_TRUE(GetOfficeXlStartFolder(f, 11));
    EXPECT_EQ("C:\\Office11\\xlstart\\", f);
    EXPECT_TRUE(GetOfficeXlStartFolder(f, 14));
    EXPECT_EQ("C:\\Office14\\xlstart\\", f);
    EXPECT_FALSE(GetOfficeXlStartFolder(f, 13));
    EXPECT_EQ("", f);
}

// ---- settings files ---------------------------------------------------------------------

namespace {
// A settings file of the Windows folder, put back as it was at the end.
struct SettingsFile {
    explicit SettingsFile(const std::string& n, const std::string& text = "") : name(n), backup(path()) {
        DeleteFileA(path().c_str());
        if (!text.empty()) ts::WriteFileBytes(path(), text);
    }
    std::string path() const { return GetWindowsFolder() + "\\" + name; }
    std::string bytes() const { return ts::ReadFileBytes(path()); }
    std::string name;
    ts::ScopedFileBackup backup;
};

struct Folders {
    std::string excel = "<untouched>", startup = "<untouched>";
};
Folders FoldersFor(const std::string& file, int version) {
    Folders f;
    EXPECT_TRUE(GetExcelFoldersFor(file, version, f.excel, f.startup));
    return f;
}

// No Excel registered, so that only what a test writes is found.
struct NoExcel {
    ts::ScopedRegKey s5{HKCR, "Excel.Sheet.5"}, s8{HKCR, "Excel.Sheet.8"};
    ts::ScopedRegKey app{HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\EXCEL.EXE"};
    NoExcel() {
        ts::RegDeleteTree(HKCR, "Excel.Sheet.5");
        ts::RegDeleteTree(HKCR, "Excel.Sheet.8");
        ts::RegDeleteTree(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\EXCEL.EXE");
    }
};
}  // namespace

TEST(ExcelFolders, MissingExcelDirIsProbedAndWrittenBackOnce) {
    NoExcel none;
    SettingsFile ini("Torva8.Ini", "[GenDir]\r\nDir=C:\\Torva\r\n");
    ts::RegSet(HKCR, "Excel.Sheet.8\\Shell\\New\\command", "", "\"C:\\" + kSo + "\\EXCEL.EXE\" /e");
    Folders f = FoldersFor(ini.name, 8);
    EXPECT_EQ("c:\\" + kSo + "\\", f.excel);
    EXPECT_EQ("c:\\" + kSo + "\\XLSTART\\", f.startup);
    const std::string written = ini.bytes();
    std::string stored;
    ReadProfileString("NewEnv", "ExcelDir", stored, ini.name, 255);
    EXPECT_EQ("c:\\" + kSo + "\\", stored);
    EXPECT_EQ("C:\\Torva", ReadProductFolderOf(ini.name));

    // Found in the file now: the registry is not asked and nothing is written again.
    ts::RegDeleteTree(HKCR, "Excel.Sheet.8");
    f = FoldersFor(ini.name, 8);
    EXPECT_EQ("c:\\" + kSo + "\\", f.excel);
    EXPECT_EQ(written, ini.bytes());
}

TEST(ExcelFolders, StoredExcelDirGetsABackslashAndTheFileIsNotRewritten) {
    const std::string text = "[NewEnv]\r\nExcelDir=D:\\" + kSo + "\r\n[GenDir]\r\nDir=C:\\" + kSo + "\r\n";
    SettingsFile ini("Torva9.Ini", text);
    Folders f = FoldersFor(ini.name, 8);
    EXPECT_EQ("D:\\" + kSo + "\\", f.excel);
    EXPECT_EQ("D:\\" + kSo + "\\XLSTART\\", f.startup);
    f = FoldersFor(ini.name, 9);
    EXPECT_EQ("D:\\" + kSo + "\\", f.excel);
    EXPECT_EQ(AppDataFolder() + "\\Microsoft\\Excel\\xlstart\\", f.startup);
    EXPECT_EQ("C:\\" + kSo, ReadProductFolderOf(ini.name));  // as stored, no backslash added
    EXPECT_EQ(text, ini.bytes());
}

TEST(ExcelFolders, NothingFoundIsStoredEmptyAndProbedAgain) {
    NoExcel none;
    SettingsFile ini("Torva.Ini");
    Folders f = FoldersFor(ini.name, 5);
    EXPECT_EQ("", f.excel);
    EXPECT_EQ("", f.startup);
    EXPECT_NE(std::string::npos, ini.bytes().find("ExcelDir=\r\n")) << ini.bytes();
    ts::RegSet(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\EXCEL.EXE", "", "C:\\XL\\EXCEL.EXE");
    f = FoldersFor(ini.name, 5);
    EXPECT_EQ("C:\\XL\\", f.excel);
    EXPECT_EQ("C:\\XL\\XLSTART\\", f.startup);
    EXPECT_NE(std::string::npos, ini.bytes().find("ExcelDir=C:\\XL\\\r\n")) << ini.bytes();
}

// Runs in copies of this program named like the editions (see Editions below).
TEST(EditionCopy, ReadsItsOwnSettingsFile) {
    const std::string file = Env("TORVA_EDITION_FILE");
    if (file.empty()) GTEST_SKIP() << "runs in an edition copy";
    EXPECT_EQ(file, SettingsFileName());
    EXPECT_EQ("C:\\Dir-" + file, ReadProductFolder());
    std::string excel, startup;
    EXPECT_TRUE(GetExcelFolders(SettingsFileName(), excel, startup));
    EXPECT_EQ("C:\\XL\\", excel);
    EXPECT_EQ(Env("TORVA_EDITION_STARTUP"), startup);
}

TEST(Editions, EachCopyReadsTheFileOfItsDigits) {
    SettingsFile files[] = {SettingsFile("Torva.Ini"), SettingsFile("Torva8.Ini"), SettingsFile("Torva9.Ini")};
    for (const SettingsFile& s : files)
        ts::WriteFileBytes(s.path(), "[GenDir]\r\nDir=C:\\Dir-" + s.name + "\r\n[NewEnv]\r\nExcelDir=C:\\XL\r\n");
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string folder = std::string(self).substr(0, std::string(self).find_last_of('\\') + 1);
    const std::string byUser = AppDataFolder() + "\\Microsoft\\Excel\\xlstart\\";
    const struct {
        const char *exe, *file;
        std::string startup;
    } editions[] = {{"edition.exe", "Torva.Ini", "C:\\XL\\XLSTART\\"},  {"edition5.exe", "Torva.Ini", "C:\\XL\\XLSTART\\"},
                    {"edition8.exe", "Torva8.Ini", "C:\\XL\\XLSTART\\"}, {"edition9.exe", "Torva9.Ini", byUser},
                    {"edition10.exe", "Torva9.Ini", byUser},             {"edition12.exe", "Torva9.Ini", byUser}};
    for (const auto& e : editions) {
        const std::string copy = folder + e.exe;
        ASSERT_TRUE(CopyFileA(self, copy.c_str(), FALSE));
        EXPECT_EQ(0, ts::RunAndWait(ts::Quoted(copy) + " --gtest_brief=1 --gtest_filter=EditionCopy.*", 120000,
                                    {std::string("TORVA_EDITION_FILE=") + e.file, "TORVA_EDITION_STARTUP=" + e.startup}))
            << e.exe;
        DeleteFileA(copy.c_str());
    }
    for (const SettingsFile& s : files)  // ExcelDir was stored, so nothing was written
        EXPECT_EQ("[GenDir]\r\nDir=C:\\Dir-" + s.name + "\r\n[NewEnv]\r\nExcelDir=C:\\XL\r\n", s.bytes());
}

TEST(VirtualStore, TheUsersCopyGoesOnlyUnderVista) {
    const std::string store = Env("USERPROFILE") + "\\AppData\\Local\\VirtualStore";
    const bool existed = GetFileAttributesA(store.c_str()) != INVALID_FILE_ATTRIBUTES;
    CreateDirectoryA(store.c_str(), nullptr);
    CreateDirectoryA((store + "\\Windows").c_str(), nullptr);
    const std::string copy = store + "\\Windows\\TorvaVS.Ini";
    {
        ts::ScopedFileBackup backup(copy);
        ASSERT_TRUE(ts::WriteFileBytes(copy, "[GenDir]\r\n"));
        RemoveVirtualStoreCopy("TorvaVS.Ini");
        EXPECT_EQ(ts::RunningUnder() != "vista", ts::FileExists(copy)) << ts::RunningUnder();
    }
    if (!existed) ts::RemoveTree(store);
}

// ---- Explorer association, on the family this runs under --------------------------------

class Association : public ::testing::Test {
protected:
    ts::ScopedRegKey userClasses_{HKCU, "Software\\Classes"}, s5_{HKCR, "Excel.Sheet.5"}, s8_{HKCR, "Excel.Sheet.8"},
        s12_{HKCR, "Excel.Sheet.12"}, csv_{HKCR, "Excel.CSV"}, a12_{HKCR, "Excel.Application.12"},
        a14_{HKCR, "Excel.Application.14"}, a15_{HKCR, "Excel.Application.15"}, a16_{HKCR, "Excel.Application.16"};
    // The 9x family and NT 4.0 have only the machine's classes, where Explorer reads them.
    const bool machine_ = ts::RunningUnder() == "win98" || ts::RunningUnder() == "nt40";
    const HKEY root_ = machine_ ? HKCR : HKCU;
    const std::string prefix_ = machine_ ? "" : "Software\\Classes\\";

    void SetUp() override {
        for (const char* k : {"Excel.Sheet.5", "Excel.Sheet.8", "Excel.Sheet.12", "Excel.CSV", "Excel.Application.12",
                              "Excel.Application.14", "Excel.Application.15", "Excel.Application.16"})
            ts::RegDeleteTree(HKCR, k);
    }
    std::string Dde(const std::string& cls) { return Get(root_, DdeKey(cls)); }
    std::string DdeKey(const std::string& cls) { return prefix_ + cls + "\\Shell\\Open\\ddeexec"; }
};

TEST_F(Association, WritesMainNewFormatAndCsvAndDissociatesByRewriting) {
    ts::RegSet(HKCR, "Excel.Application.14", "", "Microsoft Excel Application");
    ASSERT_TRUE(WriteExplorerCommand(14, 1));
    for (const char* cls : {"Excel.Sheet.8", "Excel.Sheet.12", "Excel.CSV"}) EXPECT_EQ(kAssociated, Dde(cls)) << cls;
    EXPECT_EQ("<none>", Dde("Excel.Sheet.5"));
    if (!machine_) {
        EXPECT_FALSE(ts::RegKeyExists(HKCR, "Excel.Sheet.8\\Shell"));  // the machine's classes stay
    }
    ASSERT_TRUE(WriteExplorerCommand(14, 0));
    for (const char* cls : {"Excel.Sheet.8", "Excel.Sheet.12", "Excel.CSV"}) EXPECT_EQ(kPlain, Dde(cls)) << cls;
}

TEST_F(Association, AnExcelFromTwelveOnDecidesTheNewFormatClass) {
    ASSERT_TRUE(WriteExplorerCommand(5, 1));
    EXPECT_EQ(kAssociated, Dde("Excel.Sheet.5"));
    EXPECT_EQ(kAssociated, Dde("Excel.CSV"));
    EXPECT_FALSE(ts::RegKeyExists(root_, prefix_ + "Excel.Sheet.12"));
    for (const char* excel : {"Excel.Application.15", "Excel.Application.16"}) {
        ts::RegSet(HKCR, excel, "", "Microsoft Excel Application");
        ASSERT_TRUE(WriteExplorerCommand(8, 1));
        EXPECT_EQ(kAssociated, Dde("Excel.Sheet.12")) << excel;
        ts::RegDeleteTree(HKCR, excel);
        ts::RegDeleteTree(root_, prefix_ + "Excel.Sheet.12");
    }
    // Registered, but closed to full access: the plain read still finds it.
    ts::RegSet(HKCR, "Excel.Application.12", "", "Microsoft Excel Application");
    ReadOnlyKey ro(HKCR, "Excel.Application.12");
    ASSERT_TRUE(WriteExplorerCommand(8, 2));
    EXPECT_EQ(kPlain, Dde("Excel.Sheet.12"));
}

// A class left behind would keep calling macros that a dissociation withdraws: every class is tried.
TEST_F(Association, AFailedWriteIsReportedAndTheOtherClassesAreWrittenStill) {
    ts::RegSet(HKCR, "Excel.Application.12", "", "Microsoft Excel Application");
    for (const char* cls : {"Excel.Sheet.8", "Excel.Sheet.12", "Excel.CSV"}) ts::RegSet(root_, DdeKey(cls), "", "before");
    {
        ReadOnlyKey ro(root_, DdeKey("Excel.Sheet.8"));
        EXPECT_FALSE(WriteExplorerCommand(8, 2));
    }
    EXPECT_EQ("before", Dde("Excel.Sheet.8"));
    for (const char* cls : {"Excel.Sheet.12", "Excel.CSV"}) EXPECT_EQ(kPlain, Dde(cls)) << cls;
    ReadOnlyKey ro(root_, DdeKey("Excel.CSV"));
    EXPECT_FALSE(WriteExplorerCommand(8, 1));
    EXPECT_EQ(kAssociated, Dde("Excel.Sheet.8"));
    EXPECT_EQ(kAssociated, Dde("Excel.Sheet.12"));
}

TEST_F(Association, CheckReadsTheMainClassFromTheClassesRoot) {
    ASSERT_TRUE(WriteExplorerCommand(8, 1));
    // Windows shows the user's classes through HKEY_CLASSES_ROOT; Wine does not merge the two
    // views, so on the NT family the test writes the merged view's value itself.
    if (!machine_) ts::RegSet(HKCR, "Excel.Sheet.8\\Shell\\Open\\ddeexec", "", Dde("Excel.Sheet.8"));
    EXPECT_TRUE(CheckExplorerAssociation(8));
    EXPECT_FALSE(CheckExplorerAssociation(5));  // only the main class of the version counts
    ts::RegSet(HKCR, "Excel.Sheet.8\\Shell\\Open\\ddeexec", "", kPlain);
    EXPECT_FALSE(CheckExplorerAssociation(8));
    ts::RegSet(HKCR, "Excel.Sheet.8\\Shell\\Open\\ddeexec", "", "[open(\"%1\")][run(\"x\")]");
    ReadOnlyKey ro(HKCR, "Excel.Sheet.8\\Shell\\Open\\ddeexec");
    EXPECT_TRUE(CheckExplorerAssociation(10));
}

TEST_F(Association, WriteProbeLeavesTheClassesAsFound) {
    const std::string cls = prefix_ + "Excel.Sheet.8", dde = cls + "\\Shell\\Open\\ddeexec";
    const std::string app = dde + "\\Application";
    ts::RegDeleteTree(root_, cls);
    EXPECT_TRUE(CheckWriteUserAssociation(8));
    EXPECT_FALSE(ts::RegKeyExists(root_, cls));  // nothing before, nothing after
    ts::RegSet(root_, dde, "", kPlain);
    EXPECT_TRUE(CheckWriteUserAssociation(8));
    EXPECT_EQ(kPlain, Get(root_, dde));
    EXPECT_FALSE(ts::RegKeyExists(root_, app));
    ts::RegSet(root_, app, "other", "x");  // no default value before, none after
    EXPECT_TRUE(CheckWriteUserAssociation(9));
    EXPECT_EQ("<none>", Get(root_, app));
    ts::RegSet(root_, app, "", "Excel");
    EXPECT_TRUE(CheckWriteUserAssociation(8));
    EXPECT_EQ("Excel", Get(root_, app));
    ReadOnlyKey ro(root_, app);
    EXPECT_FALSE(CheckWriteUserAssociation(8));
    EXPECT_EQ("Excel", Get(root_, app));
}

TEST(OsFamilies, TheNineXFamilyAndVistaForReal) {
    EXPECT_EQ(0, ts::RunSelfAs("win98", "Association.*:VirtualStore.*"));
    EXPECT_EQ(0, ts::RunSelfAs("nt40", "Association.*"));
    EXPECT_EQ(0, ts::RunSelfAs("vista", "VirtualStore.*"));
    EXPECT_EQ(0, ts::RunSelfAs("winxp", "VirtualStore.*:Association.*"));
}
