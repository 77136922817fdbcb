#include <gtest/gtest.h>

#include "environment/FileCopy.h"
#include "environment/OsVersion.h"
#include "excel/ExcelLocation.h"
#include "manager/Addin.h"
#include "support/Installation.h"
#include "support/TestSupport.h"

namespace {

// Whether the file's DACL lets every user write it: Windows keeps the null DACL as it
// is; Wine keeps no DACL of its own but maps it onto the Unix permission bits and reads
// back a list in which Everyone may now write.
bool EveryoneCanWrite(const std::string& path) {
    DWORD needed = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0) return false;
    std::string buf(needed, '\0');
    auto* sd = reinterpret_cast<PSECURITY_DESCRIPTOR>(buf.data());
    if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, sd, needed, &needed)) return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &acl, &defaulted)) return false;
    if (!present) return false;
    if (!acl) return true;  // a null DACL: everyone, everything
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return false;
    bool canWrite = false;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        if (EqualSid(&allowed->SidStart, everyone) && (allowed->Mask & FILE_WRITE_DATA)) canWrite = true;
    }
    FreeSid(everyone);
    return canWrite;
}

// A source file, and a destination beside it, in a fresh folder outside the user's own folders.
struct CopyCase {
    ts::TempDir dir{"C:\\"};
    std::string source = dir / "基盤関数.XLA";
    std::string dest = dir / "copy.XLA";
    CopyCase() { EXPECT_TRUE(ts::WriteFileBytes(source, "workbook bytes")); }
};

}  // namespace

TEST(CopyFileOpen, OnTheNtFamilyTheCopyIsOpenToEveryone) {
    ASSERT_EQ("WINNT", GetOsFamily());
    CopyCase c;
    ASSERT_FALSE(EveryoneCanWrite(c.source)) << "a fresh file must not already be open to everyone";
    ASSERT_TRUE(CopyFileOpen(c.source, c.dest, false));
    EXPECT_EQ("workbook bytes", ts::ReadFileBytes(c.dest));
    EXPECT_TRUE(EveryoneCanWrite(c.dest));
    EXPECT_FALSE(EveryoneCanWrite(c.source)) << "only the copy is opened up";
}

TEST(CopyFileOpen, ReplacesAnExistingCopyAndOpensItUp) {
    CopyCase c;
    ASSERT_TRUE(ts::WriteFileBytes(c.dest, "an older, longer copy of the workbook"));
    ASSERT_FALSE(EveryoneCanWrite(c.dest));
    ASSERT_TRUE(CopyFileOpen(c.source, c.dest, false));
    EXPECT_EQ("workbook bytes", ts::ReadFileBytes(c.dest));
    EXPECT_TRUE(EveryoneCanWrite(c.dest));
}

TEST(CopyFileOpen, FailuresLeaveTheDestinationAlone) {
    CopyCase c;
    // A missing source.
    EXPECT_FALSE(CopyFileOpen(c.dir / "missing.XLA", c.dest, false));
    EXPECT_FALSE(ts::FileExists(c.dest));
    ASSERT_TRUE(ts::WriteFileBytes(c.dest, "old"));
    EXPECT_FALSE(CopyFileOpen(c.dir / "missing.XLA", c.dest, false));
    EXPECT_EQ("old", ts::ReadFileBytes(c.dest));
    EXPECT_FALSE(EveryoneCanWrite(c.dest));
    // An existing copy that must not be replaced.
    EXPECT_FALSE(CopyFileOpen(c.source, c.dest, true));
    EXPECT_EQ("old", ts::ReadFileBytes(c.dest));
    EXPECT_FALSE(EveryoneCanWrite(c.dest));
    // A source folder that does not exist, and a destination folder that does not exist.
    EXPECT_FALSE(CopyFileOpen(c.dir / "nofolder\\a.XLA", c.dest, false));
    EXPECT_FALSE(CopyFileOpen(c.source, c.dir / "nofolder\\a.XLA", false));
    EXPECT_EQ("old", ts::ReadFileBytes(c.dest));
}

// Windows refuses to copy onto a read-only file; Wine replaces it. Either way the
// result must say what happened to the file.
TEST(CopyFileOpen, AReadOnlyDestinationIsReplacedOnlyWhenTheResultSaysSo) {
    CopyCase c;
    ASSERT_TRUE(ts::WriteFileBytes(c.dest, "old"));
    ASSERT_TRUE(SetFileAttributesA(c.dest.c_str(), FILE_ATTRIBUTE_READONLY));
    if (CopyFileOpen(c.source, c.dest, false)) {
        EXPECT_EQ("workbook bytes", ts::ReadFileBytes(c.dest));
        EXPECT_TRUE(EveryoneCanWrite(c.dest));
    } else {
        EXPECT_EQ("old", ts::ReadFileBytes(c.dest));
        EXPECT_NE(0u, GetFileAttributesA(c.dest.c_str()) & FILE_ATTRIBUTE_READONLY);
    }
    SetFileAttributesA(c.dest.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Only the start-up folders the machine's users share need the open list. In the user's own, it would let
// any other user rewrite macros that the owner's Excel runs; a copy placed there by an earlier version
// loses it at the next switch.
TEST(CopyFileOpen, AUsersOwnFolderKeepsTheListItPassesOn) {
    ts::Installation inst;
    ts::TempDir machine("C:\\");
    for (const std::string& installed : {inst.UsersTorvaXla(), machine / "基盤関数.XLA"}) {
        ForceFolders(installed.substr(0, installed.find_last_of('\\')));
        ASSERT_TRUE(SwitchAddinFile(installed, inst.Parked(), 1)) << installed;
        ASSERT_TRUE(ts::WriteFileBytes(installed + ".old", "x"));
        GrantEveryoneAccess(installed + ".old");  // as an earlier version left it
        ASSERT_TRUE(SwitchAddinFile(installed + ".old", inst.Parked(), 1));
        const bool machineWide = installed.rfind("C:\\torva", 0) == 0;
        EXPECT_EQ(machineWide, EveryoneCanWrite(installed)) << installed;
        EXPECT_EQ(machineWide, EveryoneCanWrite(installed + ".old")) << installed;
        DeleteFileA((installed + ".old").c_str());
    }
}

TEST(GrantEveryoneAccess, MissingFilesAndFoldersAreLeftAlone) {
    ts::TempDir dir;
    GrantEveryoneAccess(dir / "missing.XLA");
    EXPECT_FALSE(ts::FileExists(dir / "missing.XLA"));
    ASSERT_FALSE(EveryoneCanWrite(dir.path()));
    GrantEveryoneAccess(dir.path());
    EXPECT_FALSE(EveryoneCanWrite(dir.path()));
}

// ---- the other families, for real ----------------------------------------------------------

TEST(CopyFileOpenFamilies, Win98CopiesWithoutTheAccessStep) {
    REQUIRE_WINDOWS_VERSION("win98");
    ASSERT_EQ("WIN95_98", GetOsFamily());
    CopyCase c;
    ASSERT_TRUE(CopyFileOpen(c.source, c.dest, false));
    EXPECT_EQ("workbook bytes", ts::ReadFileBytes(c.dest));
    EXPECT_FALSE(EveryoneCanWrite(c.dest));
    GrantEveryoneAccess(c.dest);
    EXPECT_FALSE(EveryoneCanWrite(c.dest));
}

TEST(CopyFileOpenFamilies, OtherFamilyCopiesWithoutTheAccessStep) {
    REQUIRE_WINDOWS_VERSION("win31");
    ASSERT_EQ("Other", GetOsFamily());
    CopyCase c;
    ASSERT_TRUE(CopyFileOpen(c.source, c.dest, false));
    EXPECT_EQ("workbook bytes", ts::ReadFileBytes(c.dest));
    EXPECT_FALSE(EveryoneCanWrite(c.dest));
}

TEST(CopyFileOpenFamilies, NtFourOpensTheCopyUp) {
    REQUIRE_WINDOWS_VERSION("nt40");
    CopyCase c;
    ASSERT_TRUE(CopyFileOpen(c.source, c.dest, false));
    EXPECT_TRUE(EveryoneCanWrite(c.dest));
}

TEST(FamilyRuns, CopyFileOpenUnderEachFamily) {
    for (const char* v : {"win98", "win31", "nt40"})
        EXPECT_EQ(0, ts::RunSelfAs(v, "CopyFileOpenFamilies.*")) << v;
}
