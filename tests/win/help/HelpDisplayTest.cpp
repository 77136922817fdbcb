#include <gtest/gtest.h>
#include <windows.h>
#include <htmlhelp.h>

#include <string>
#include <vector>

#include "environment/Profile.h"
#include "help/HelpDisplay.h"
#include "manager/Settings.h"
#include "support/TestSupport.h"

namespace {

// Stands in for HtmlHelpA and records what it is given.
struct HtmlHelpRecorder {
    struct Call {
        HWND caller;
        std::string file;
        UINT command;
        DWORD_PTR data;
    };
    explicit HtmlHelpRecorder(HWND result = nullptr) {
        SetHtmlHelpFunction([this, result](HWND caller, const char* file, UINT command, DWORD_PTR data) {
            calls.push_back({caller, file ? file : "<null>", command, data});
            return result;
        });
    }
    ~HtmlHelpRecorder() { SetHtmlHelpFunction(nullptr); }
    std::vector<Call> calls;
};

// Writes a settings file of the Windows folder. The profile functions keep a parsed copy while
// the file's time is unchanged, so every write gets a time of its own.
void WriteIni(const std::string& path, const std::string& bytes) {
    static WORD serial = 0;
    ASSERT_TRUE(ts::WriteFileBytes(path, bytes));
    SYSTEMTIME st{2001, 1, 0, 1, 0, 0, 0, 0};
    st.wMinute = ++serial % 60;
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    UniqueHandle f(
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(f && SetFileTime(f.get(), nullptr, nullptr, &ft));
}

// Runs the help button with the given "Torva9.ini" (none for null); the file HTML Help was asked for.
std::string ManagerHelpFile(const char* torva9) {
    const std::string path = GetWindowsFolder() + "\\Torva9.ini";
    DeleteFileA(path.c_str());
    if (torva9) WriteIni(path, torva9);
    HtmlHelpRecorder rec;
    ShowManagerHelp(ReadHelpFolder());
    if (rec.calls.size() != 1) return std::to_string(rec.calls.size()) + " calls";
    EXPECT_EQ(nullptr, rec.calls[0].caller);
    EXPECT_EQ(UINT(HH_HELP_CONTEXT), rec.calls[0].command);
    EXPECT_EQ(DWORD_PTR(100102), rec.calls[0].data);
    return rec.calls[0].file;
}

}  // namespace

TEST(ShowManagerHelp, HelpFolderComesFromTorva9Ini) {
    ts::ScopedFileBackup torva9(GetWindowsFolder() + "\\Torva9.ini");
    // The edition's own settings file is never asked for the help folder.
    ts::ScopedFileBackup torva(GetWindowsFolder() + "\\Torva.Ini");
    WriteIni(GetWindowsFolder() + "\\Torva.Ini", "[GenDir]\r\nHelp=C:\\Wrong\\\r\n");

    EXPECT_EQ("C:\\Help\\TORVA.chm", ManagerHelpFile("[GenDir]\r\nHelp=C:\\Help\\\r\n"));
    EXPECT_EQ("C:\\Help\\TORVA.chm", ManagerHelpFile("[GenDir]\r\nDir=C:\\Torva\\\r\nHelp=C:\\Help\r\n"));
    const std::string helpJa = "D:\\\x83\x77\x83\x8B\x83\x76\\";  // D:\ヘルプ\, found under other letter cases
    EXPECT_EQ(helpJa + "TORVA.chm", ManagerHelpFile(("[gendir]\r\nhelp=" + helpJa + "\r\n").c_str()));
    EXPECT_EQ("TORVA.chm", ManagerHelpFile(nullptr));
    EXPECT_EQ("TORVA.chm", ManagerHelpFile("[GenDir]\r\nDir=C:\\Torva\\\r\n"));
    EXPECT_EQ("TORVA.chm", ManagerHelpFile("[GenDir]\r\nHelp=\r\n"));
    EXPECT_EQ("TORVA.chm", ManagerHelpFile("[Help]\r\nHelp=C:\\X\\\r\n"));
}

TEST(ShowHelpTopic, PassesItsArgumentsAndTheResultThrough) {
    const HWND fake = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    HtmlHelpRecorder rec(fake);
    const HWND caller = GetDesktopWindow();
    EXPECT_EQ(fake, ShowHelpTopic(caller, "x.chm", "setup_other", HH_DISPLAY_TOPIC, "TORVAA"));
    EXPECT_EQ(fake, ShowHelpTopic(nullptr, "", "NoSuchKeyword", HH_HELP_CONTEXT, "Torva"));
    EXPECT_EQ(fake, ShowHelpTopic(nullptr, "y.chm", "-1", HH_HELP_CONTEXT, "Numbers"));
    ASSERT_EQ(3u, rec.calls.size());
    EXPECT_EQ(caller, rec.calls[0].caller);
    EXPECT_EQ("x.chm", rec.calls[0].file);
    EXPECT_EQ(UINT(HH_DISPLAY_TOPIC), rec.calls[0].command);
    EXPECT_EQ(DWORD_PTR(701003), rec.calls[0].data);
    // A keyword the table lacks still reaches HTML Help, with context 0.
    EXPECT_EQ(DWORD_PTR(0), rec.calls[1].data);
    // A negative number arrives as its 32-bit pattern.
    EXPECT_EQ(DWORD_PTR(0xFFFFFFFFu), rec.calls[2].data);
}

// The prefix's own HTML Help: a help file that does not exist fails without a window.
TEST(HtmlHelpReal, NonexistentFileGivesNull) {
    ASSERT_TRUE(HtmlHelpAvailable());
    SetLastError(0);
    EXPECT_EQ(nullptr, ShowHelpTopic(nullptr, "C:\\nonexistent\\TORVA.chm", "TorvaManager", HH_HELP_CONTEXT, "TORVA"));
    EXPECT_NE(0u, GetLastError()) << "HtmlHelpA was not reached";
}

// Runs in a copy of this program started without HTML Help (see below); it creates the file
// named by TORVA_NO_HTMLHELP once every check has run.
TEST(HtmlHelpMissing, HelpButtonDoesNothing) {
    char done[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("TORVA_NO_HTMLHELP", done, sizeof done);
    if (n == 0 || n >= sizeof done) GTEST_SKIP() << "runs in a process without HTML Help";
    EXPECT_FALSE(HtmlHelpAvailable());
    EXPECT_EQ(nullptr, ShowHelpTopic(nullptr, "C:\\nonexistent\\TORVA.chm", "TorvaManager", HH_HELP_CONTEXT, "TORVA"));
    ShowManagerHelp(ReadHelpFolder());
    ts::WriteFileBytes(done, "done");
}

// Wine switches a library off per executable; WINEDLLOVERRIDES set by a Windows process does not
// reach its children, so a copy of this program under its own name is used.
TEST(HtmlHelpMissing, ProgramRunsOnWithoutIt) {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    ASSERT_TRUE(n > 0 && n < sizeof self);
    ts::TempDir dir;
    const std::string name = "help_without_hhctrl.exe", key = "Software\\Wine\\AppDefaults\\" + name;
    ASSERT_TRUE(CopyFileA(self, (dir / name).c_str(), FALSE));
    ts::ScopedRegKey restore(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(ts::RegSet(HKEY_CURRENT_USER, key + "\\DllOverrides", "hhctrl.ocx", ""));
    EXPECT_EQ(0, ts::RunAndWait(ts::Quoted(dir / name) + " --gtest_filter=HtmlHelpMissing.HelpButtonDoesNothing",
                                120000, {"TORVA_NO_HTMLHELP=" + (dir / "done")}));
    EXPECT_TRUE(ts::FileExists(dir / "done")) << "the checks did not run";
}
