#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "environment/OsVersion.h"
#include "environment/Profile.h"
#include "support/TestSupport.h"

// Everything below relies on Shift-JIS being the ANSI code page of the test prefix.
TEST(Setup, AnsiCodePageIs932) { ASSERT_EQ(932u, GetACP()); }

// ---- operating-system version ------------------------------------------------------

TEST(OsVersionRules, EveryRowOfTheNameTable) {
    // Users: the user's own classes show through the classes root (not on NT 4.0).
    struct Row {
        unsigned major, minor, id;
        const char *family, *platform, *name;
        double version;
        bool users;
    } rows[] = {
        {4, 0, 1, "WIN95_98", "Win32", "Win95", 4, false},   {4, 10, 1, "WIN95_98", "Win32", "Win98", 4.1, false},
        {4, 90, 1, "WIN95_98", "Win32", "WinME", 4.9, false}, {4, 20, 1, "WIN95_98", "Win32", "Other", 4.2, false},
        {4, 0, 2, "WINNT", "WinNT", "NT4.0", 4, false},       {5, 0, 2, "WINNT", "WinNT", "Win2000", 5, true},
        {5, 1, 2, "WINNT", "WinNT", "WinXP", 5.1, true},      {5, 2, 2, "WINNT", "WinNT", "Win2003", 5.2, true},
        {6, 0, 2, "WINNT", "WinNT", "Vista", 6, true},        {6, 1, 2, "WINNT", "WinNT", "Other", 6.1, true},
        {10, 0, 2, "WINNT", "WinNT", "Other", 10, true},      {4, 10, 0, "Other", "Win32", "Win98", 4.1, false},
    };
    for (const Row& r : rows) {
        const OsVersionRecord rec{true, r.major, r.minor, r.id};
        std::string platform;
        EXPECT_EQ(r.family, OsFamilyOf(rec)) << r.major << "." << r.minor;
        EXPECT_DOUBLE_EQ(r.version, OsVersionOf(rec, platform));
        EXPECT_EQ(r.platform, platform);
        EXPECT_EQ(r.name, OsNameOf(rec)) << r.major << "." << r.minor << "/" << r.id;
        EXPECT_EQ(r.users, HasUserClassesOf(rec)) << r.major << "." << r.minor << "/" << r.id;
    }
}

TEST(OsVersionRules, AFailedQueryReportsVersionZero) {
    const OsVersionRecord failed{};
    std::string platform = "x";
    EXPECT_EQ("", OsFamilyOf(failed));
    EXPECT_DOUBLE_EQ(0, OsVersionOf(failed, platform));
    EXPECT_EQ("", platform);
    EXPECT_EQ("Other", OsNameOf(failed));
    EXPECT_TRUE(HasUserClassesOf(failed));  // taken for the NT family, as the platform kind takes it
}

namespace {
void ExpectOs(const char* family, const char* platform, int kind, double version, const char* name) {
    std::string p;
    EXPECT_EQ(family, GetOsFamily());
    EXPECT_DOUBLE_EQ(version, GetOsVersion(p));
    EXPECT_EQ(platform, p);
    EXPECT_EQ(platform, GetOsPlatformName());
    EXPECT_EQ(kind, GetOsPlatformKind());
    EXPECT_EQ(name, GetOsName());
}
}  // namespace

TEST(OsReal, Win98) {
    REQUIRE_WINDOWS_VERSION("win98");
    ExpectOs("WIN95_98", "Win32", 1, 4.1, "Win98");
}
TEST(OsReal, Nt40) {
    REQUIRE_WINDOWS_VERSION("nt40");
    ExpectOs("WINNT", "WinNT", 2, 4, "NT4.0");
}
TEST(OsReal, WinXP) {
    REQUIRE_WINDOWS_VERSION("winxp");
    ExpectOs("WINNT", "WinNT", 2, 5.1, "WinXP");
}
TEST(OsReal, Vista) {
    REQUIRE_WINDOWS_VERSION("vista");
    ExpectOs("WINNT", "WinNT", 2, 6, "Vista");
}
TEST(OsReal, Win7) {
    REQUIRE_WINDOWS_VERSION("win7");
    ExpectOs("WINNT", "WinNT", 2, 6.1, "Other");
}

// ---- profile access, both routes ----------------------------------------------------

namespace {
// A settings file in the Windows folder, named for this test and removed afterwards, with the
// files the 9x save puts beside it.
class WindowsFolderIni {
public:
    explicit WindowsFolderIni(const std::string& name)
        : name_(name), path_(GetWindowsFolder() + "\\" + name), backup_(path_), temp_(Temp()), aside_(SetAside()) {
        for (const std::string& p : {path_, Temp(), SetAside()}) {
            SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(p.c_str());
        }
    }
    ~WindowsFolderIni() { SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL); }
    const std::string& name() const { return name_; }
    const std::string& path() const { return path_; }
    std::string Temp() const { return path_ + ".tmp~"; }
    std::string SetAside() const { return path_ + ".bak~"; }

private:
    std::string name_, path_;
    ts::ScopedFileBackup backup_, temp_, aside_;
};

std::string Read(const std::string& section, const std::string& key, const std::string& file, bool* ok = nullptr) {
    std::string v = "<untouched>";
    const bool r = ReadProfileString(section, key, v, file, 255);
    if (ok) *ok = r;
    return v;
}
}  // namespace

// Runs on every family; the expectations that differ are in the family tests below.
TEST(Profile, ApiLimitsAndEmptyValues) {
    WindowsFolderIni ini("TorvaTestA.ini");
    const std::string long300(300, 'x');
    ASSERT_TRUE(ts::WriteFileBytes(ini.path(), "[S]\r\nlong=" + long300 + "\r\nk=v\r\n"));
    bool ok = false;
    EXPECT_EQ(std::string(254, 'x'), Read("S", "long", ini.name(), &ok));  // the whole-file route is not asked
    EXPECT_TRUE(ok);
    EXPECT_EQ("v", Read("s", "K", ini.name(), &ok));
    EXPECT_TRUE(ok);

    // An empty value is written as a key with an empty value, never a deletion.
    ASSERT_TRUE(WriteProfileString("S", "k", "", ini.name()));
    const std::string text = ts::ReadFileBytes(ini.path());
    EXPECT_NE(std::string::npos, text.find("k=")) << text;
    EXPECT_NE(std::string::npos, text.find(long300));
    EXPECT_EQ("", Read("S", "k", ini.name()));

    // A name with a backslash is used as it is.
    ts::TempDir dir;
    ASSERT_TRUE(WriteProfileString("GenDir", "Dir", "C:\\\x83\x5C", dir / "x.ini"));
    EXPECT_EQ("C:\\\x83\x5C", Read("GenDir", "Dir", dir / "x.ini"));
}

TEST(Profile, NtFamilyUsesOnlyTheApi) {
    if (GetOsFamily() == "WIN95_98") GTEST_SKIP();
    WindowsFolderIni ini("TorvaTestB.ini");
    bool ok = true;
    EXPECT_EQ("", Read("S", "missing", ini.name(), &ok));
    EXPECT_FALSE(ok);
    ASSERT_TRUE(WriteProfileString("S", "k", "v", ini.name()));
    EXPECT_EQ("v", Read("S", "k", ini.name()));
}

TEST(ProfileWin98, FallsBackToTheWholeFileReaderAndWriter) {
    REQUIRE_WINDOWS_VERSION("win98");
    WindowsFolderIni ini("TorvaTestC.ini");
    bool ok = false;
    // Missing file and missing key: the whole-file reader answers, with an empty value.
    EXPECT_EQ("", Read("S", "missing", ini.name(), &ok));
    EXPECT_TRUE(ok);

    // The writer keeps what it does not touch and resolves the bare name in the Windows folder.
    ASSERT_TRUE(ts::WriteFileBytes(ini.path(), "; note\n[GenDir]\nDir=C:\\T\n"));
    ASSERT_TRUE(WriteProfileString("NewEnv", "ExcelDir", "C:\\Office\\", ini.name()));
    ASSERT_TRUE(WriteProfileString("GenDir", "Dir", "D:\\U", ini.name()));
    EXPECT_EQ("; note\r\n[GenDir]\r\nDir=D:\\U\r\n\r\n[NewEnv]\r\nExcelDir=C:\\Office\\\r\n",
              ts::ReadFileBytes(ini.path()));
    EXPECT_EQ("C:\\Office\\", Read("NewEnv", "ExcelDir", ini.name()));
    EXPECT_FALSE(ts::FileExists(ini.Temp()));
    EXPECT_FALSE(ts::FileExists(ini.SetAside()));
}

TEST(ProfileWin98, AnUnreadableFileIsAFailureNotACrash) {
    REQUIRE_WINDOWS_VERSION("win98");
    WindowsFolderIni ini("TorvaTestD.ini");
    ASSERT_TRUE(ts::WriteFileBytes(ini.path(), "[S]\r\nk=v\r\n"));
    {
        UniqueHandle lock(CreateFileA(ini.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        bool ok = true;
        EXPECT_EQ("", Read("S", "other", ini.name(), &ok));
        EXPECT_FALSE(ok);
        EXPECT_FALSE(WriteProfileString("S", "k", "changed", ini.name()));
    }
    EXPECT_EQ("[S]\r\nk=v\r\n", ts::ReadFileBytes(ini.path()));
}

TEST(ProfileWin98, ALockedFileStaysWholeAndNothingIsLeftBesideIt) {
    REQUIRE_WINDOWS_VERSION("win98");
    WindowsFolderIni ini("TorvaTestE.ini");
    ASSERT_TRUE(ts::WriteFileBytes(ini.path(), "[S]\r\nk=v\r\n"));
    {
        // Open for reading only: it can be read, but neither renamed nor written over.
        UniqueHandle lock(
            CreateFileA(ini.path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        EXPECT_FALSE(WriteProfileString("S", "k", "new", ini.name()));
    }
    EXPECT_EQ("[S]\r\nk=v\r\n", ts::ReadFileBytes(ini.path()));
    EXPECT_FALSE(ts::FileExists(ini.Temp()));
    EXPECT_FALSE(ts::FileExists(ini.SetAside()));
}

// The save renames the file aside, renames the new text into its place and deletes the one set aside;
// Wine carries out each of these, so the test makes them fail. The file is whole after any failure,
// the next read finds it, and the next save leaves nothing beside it.
TEST(ProfileWin98, AReplaceFailingAtAnyStepLeavesTheFileWhole) {
    REQUIRE_WINDOWS_VERSION("win98");
    const std::string before = "[S]\r\nk=v\r\n", saved = "[S]\r\nk=new\r\n", none = "<none>";
    const struct {
        bool existed, readOnly;
        unsigned failing;
        bool result;
        std::string file, setAside, readBack;
    } rows[] = {
        {true, false, 0, true, saved, none, "new"},
        {true, false, kSetOriginalAside, false, before, none, "v"},
        {true, false, kPutNewInPlace, false, before, none, "v"},
        // Not even put back: the file is whole under the set-aside name, and the next read puts it back.
        {true, false, kPutNewInPlace | kPutOriginalBack, false, none, before, "v"},
        {true, false, kDeleteSetAside, true, saved, before, "new"},
        {false, false, kPutNewInPlace, false, none, none, ""},
        {true, true, 0, false, before, none, "v"},  // a read-only file is not rewritten
    };
    auto contents = [&](const std::string& path) { return ts::FileExists(path) ? ts::ReadFileBytes(path) : none; };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& r = rows[i];
        SCOPED_TRACE("row " + std::to_string(i + 1));
        // A name of its own for each row: Wine keeps a profile it has read while its write time stays.
        WindowsFolderIni ini(std::string("TorvaTestF") + std::to_string(i + 1) + ".ini");
        if (r.existed) {
            ASSERT_TRUE(ts::WriteFileBytes(ini.path(), before));
        }
        if (r.readOnly) SetFileAttributesA(ini.path().c_str(), FILE_ATTRIBUTE_READONLY);
        SetFailingProfileSaveSteps(r.failing);
        const bool result = WriteProfileString("S", "k", "new", ini.name());
        SetFailingProfileSaveSteps(0);
        EXPECT_EQ(r.result, result);
        EXPECT_EQ(r.file, contents(ini.path()));
        EXPECT_EQ(r.setAside, contents(ini.SetAside()));
        EXPECT_FALSE(ts::FileExists(ini.Temp()));

        EXPECT_EQ(r.readBack, Read("S", "k", ini.name()));
        SetFileAttributesA(ini.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(WriteProfileString("S", "k", "later", ini.name()));
        EXPECT_EQ("[S]\r\nk=later\r\n", contents(ini.path()));
        EXPECT_FALSE(ts::FileExists(ini.SetAside()));
        EXPECT_FALSE(ts::FileExists(ini.Temp()));
    }
}

TEST(OsFamilies, EachWindowsVersionForReal) {
    for (const char* v : {"win98", "nt40", "winxp", "vista", "win7"})
        EXPECT_EQ(0, ts::RunSelfAs(v, "OsReal.*:Profile*.*")) << v;
}

// ---- message boxes --------------------------------------------------------------------

TEST(ShowMessageBox, InvalidButtonOrIconValuesTurnEveryFlagOff) {
    ts::MessageBoxRecorder rec(IDYES);
    EXPECT_EQ(IDYES, ShowMessageBox(nullptr, "t", 0x36, "c"));
    EXPECT_EQ(IDYES, ShowMessageBox(nullptr, "t", 0x34, "c"));
    ShowMessageBox(nullptr, "t", 0x10, "c");
    ShowMessageBox(nullptr, "t", 0x50, "c");
    ShowMessageBox(nullptr, "t", 0x40 | 5 | MB_TOPMOST, "c");
    ASSERT_EQ(5u, rec.calls().size());
    EXPECT_EQ(0u, rec.calls()[0].flags);
    EXPECT_EQ(0x34u, rec.calls()[1].flags);
    EXPECT_EQ(0x10u, rec.calls()[2].flags);
    EXPECT_EQ(0u, rec.calls()[3].flags);
    EXPECT_EQ(static_cast<UINT>(0x45 | MB_TOPMOST), rec.calls()[4].flags);
    EXPECT_EQ("t", rec.calls()[0].text);
    EXPECT_EQ("c", rec.calls()[0].caption);
}

TEST(ShowMessageBox, WithoutARecorderARealBoxIsShown) {
    int result = 0;
    ts::Thread shower([&] { result = ShowMessageBox(nullptr, "本文です", MB_ICONERROR, "システムエラー"); });
    const ts::MessageBoxInfo box = ts::WaitForMessageBox(GetCurrentProcessId(), 10000);
    ASSERT_NE(nullptr, box.hwnd);
    EXPECT_EQ("システムエラー", box.caption);
    EXPECT_EQ("本文です", box.text);
    ts::ClickButton(box.hwnd, IDOK);
    shower.join();
    EXPECT_EQ(IDOK, result);
}
