// The command-line mode of the program itself, end to end.
#include <gtest/gtest.h>

#include "excel/ExcelFacts.h"
#include "manager/Addin.h"
#include "manager/ManagerMarker.h"
#include "startup/CommandLine.h"
#include "support/ExcelStandIn.h"
#include "support/Installation.h"

using ts::Installation;

namespace {

class Cmdline : public ::testing::Test {
protected:
    Cmdline() : program_(dir_ / "TorvaMan.exe"), probe_(dir_ / "Probe.exe"), log_(dir_ / "probe.log") {
        CopyFileA(ts::ProgramPath().c_str(), program_.c_str(), FALSE);
        CopyFileA(ts::FixturePath("Probe").c_str(), probe_.c_str(), FALSE);
    }
    // Starts the program with Args; the probe logs to log_ and checks the installed copy.
    void Start(const std::string& args, const Installation& inst, std::vector<std::string> env = {}) {
        env.push_back("TORVA_PROBE_LOG=" + log_);
        env.push_back("TORVA_PROBE_CHECK=" + inst.Installed());
        ASSERT_TRUE(run_.Start(ts::Quoted(program_) + " " + args, env));
    }
    int Finish(DWORD ms = 30000) { return run_.Wait(ms); }
    std::vector<std::string> ProbeLines(const std::string& prefix) { return ts::LinesStartingWith(log_, prefix); }

    ts::TempDir dir_;
    std::string program_, probe_, log_;
    ts::Child run_;
};

// The run's own hidden application window owns Box (it is made only when a box or a wait needs it).
bool OwnedByTheApplicationWindow(HWND box, DWORD pid) {
    const HWND owner = GetWindow(box, GW_OWNER);
    DWORD ownerPid = 0;
    GetWindowThreadProcessId(owner, &ownerPid);
    char cls[64] = {};
    return owner && ownerPid == pid && GetClassNameA(owner, cls, sizeof cls) && std::string(cls) == "TorvaManApplication";
}

}  // namespace

TEST_F(Cmdline, APlainProgramRunsWhileTheAddinIsRemoved) {
    Installation inst(Installation::Options().Registered());
    Start(ts::Quoted(probe_), inst, {"TORVA_PROBE_OWNER_CLASS=TorvaManApplication"});
    EXPECT_EQ(0, Finish());
    const auto checks = ProbeLines("check ");
    ASSERT_EQ(1u, checks.size());
    EXPECT_EQ("check " + inst.Installed() + " missing", checks[0]);
    EXPECT_EQ(std::vector<std::string>{"owner visible=0 enabled=0"}, ProbeLines("owner "));
    EXPECT_EQ(1u, ProbeLines("end ").size());  // waited for, so it had ended before the switch back
    EXPECT_TRUE(inst.Registered());
    EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand("Excel.Sheet.5"));
}

TEST_F(Cmdline, TheFinalProgramStartsLastWithoutWaiting) {
    Installation inst;  // removed at the start: registered by the run
    const std::string event = "TorvaProbeGo" + std::to_string(GetCurrentProcessId());
    UniqueHandle go(CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
    Start("/exe=" + probe_, inst, {"TORVA_PROBE_WAIT_EVENT=" + event});
    EXPECT_EQ(0, Finish());
    ASSERT_TRUE(ts::WaitForLine(log_, "check ", 15000));
    EXPECT_EQ("check " + inst.Installed() + " exists", ProbeLines("check ")[0]);
    EXPECT_TRUE(ProbeLines("end ").empty());  // still waiting for the event when the run ended
    SetEvent(go.get());
    EXPECT_TRUE(ts::WaitForLine(log_, "end ", 15000));
}

TEST_F(Cmdline, AnEmptyWatchStopsTheRunBeforeTheFinalProgram) {
    Installation inst(Installation::Options().Registered());
    Start("/CW= /EXE=" + probe_, inst);
    EXPECT_EQ(0, Finish());
    Sleep(300);
    EXPECT_TRUE(ProbeLines("start ").empty());
    EXPECT_TRUE(inst.Registered());
}

TEST_F(Cmdline, PathsWithForwardSlashesAreIgnored) {
    Installation inst(Installation::Options().Registered());
    std::string fwd = probe_;
    for (char& c : fwd)
        if (c == '\\') c = '/';
    Start(ts::Quoted(fwd) + " /CW", inst);  // "/CW" without "=": no watch
    EXPECT_EQ(0, Finish());
    EXPECT_TRUE(ProbeLines("start ").empty());
    EXPECT_TRUE(inst.Registered());
}

TEST_F(Cmdline, AnUndeterminableStateEndsTheRunSilently) {
    Installation inst(Installation::Options().WithoutProductDir());
    Start(ts::Quoted(probe_) + " /EXE=" + probe_, inst);
    EXPECT_EQ(0, Finish());
    EXPECT_TRUE(ProbeLines("start ").empty());
    EXPECT_EQ(nullptr, ts::WaitForMessageBox(run_.Pid(), 0).hwnd);
}

TEST_F(Cmdline, AMissingStartupFolderIsMadeForTheRegistration) {
    Installation inst(Installation::Options().WithoutXlStart());
    Start("/EXE=" + probe_, inst);
    EXPECT_EQ(0, Finish());
    EXPECT_TRUE(inst.Registered());
    EXPECT_TRUE(ts::WaitForLine(log_, "start ", 15000));
}

TEST_F(Cmdline, AFailedSwitchIsReportedAndEndsTheRun) {
    Installation inst(Installation::Options().XlStartIsAFile());
    Start(ts::Quoted(probe_) + " /EXE=" + probe_, inst);
    const ts::MessageBoxInfo box = ts::WaitForMessageBox(run_.Pid(), 20000);
    ASSERT_NE(nullptr, box.hwnd);
    EXPECT_EQ("システムエラー", box.caption);
    EXPECT_EQ("システムエラーが発生したため\rTorvaをアドイン登録することができませんでした。\r\r"
              "Torvaマネージャを強制終了します。",
              box.text);
    ts::ClickButton(box.hwnd);
    EXPECT_EQ(0, Finish());
    // The waited-for program ran with the add-in off; the final one never started.
    EXPECT_EQ(1u, ProbeLines("start ").size());
    EXPECT_EQ(Installation::AddinBytes(), ts::ReadFileBytes(inst.Parked()));
}

// Without a program waited for before them, these boxes are the first need of an owner.
TEST_F(Cmdline, BoxesBeforeAnyWaitAreOwnedByTheApplicationWindow) {
    auto answer = [&] {
        const ts::MessageBoxInfo box = ts::WaitForMessageBox(run_.Pid(), 20000);
        EXPECT_TRUE(box.hwnd && OwnedByTheApplicationWindow(box.hwnd, run_.Pid()));
        if (box.hwnd) ts::ClickButton(box.hwnd);
        EXPECT_EQ(0, Finish());
        return box;
    };
    {
        Installation inst(Installation::Options().XlStartIsAFile());
        Start("/EXE=" + probe_, inst);
        EXPECT_EQ("システムエラー", answer().caption);  // the switch failed
    }
    Installation inst(Installation::Options().Registered());
    Start("/EXE=" + (dir_ / "missing.exe"), inst);
    EXPECT_EQ("指定のファイルがみつかりません。", answer().text);
}

TEST_F(Cmdline, TheWatchedWindowKeepsTheAddinRemovedWhileItIsOpen) {
    Installation inst(Installation::Options().Registered());
    HWND gone = ts::CreateTestWindow("TorvaTestWatch", "Setup");
    Start("/cw=TorvaTestWatch,Setup,Work /EXE=" + probe_, inst);
    Sleep(500);
    EXPECT_TRUE(run_.Running());  // waiting for "Setup" to go
    HWND work = ts::CreateTestWindow("TorvaTestWatch", "Work");
    DestroyWindow(gone);
    // Within the watch the add-in goes off while "Work" is open.
    const DWORD end = GetTickCount() + 15000;
    while (inst.Registered() && static_cast<int>(end - GetTickCount()) > 0) Sleep(20);
    EXPECT_FALSE(inst.Registered());
    Sleep(1500);
    EXPECT_FALSE(inst.Registered());
    EXPECT_TRUE(ProbeLines("start ").empty());
    DestroyWindow(work);
    EXPECT_EQ(0, Finish());
    EXPECT_TRUE(inst.Registered());
    ASSERT_TRUE(ts::WaitForLine(log_, "check ", 15000));
    EXPECT_EQ("check " + inst.Installed() + " exists", ProbeLines("check ")[0]);
}

TEST_F(Cmdline, AWatchedWindowThatNeverAppearsLeavesTheAddinOn) {
    Installation inst(Installation::Options().Registered());
    Start("/VRK /EXE=" + probe_, inst);  // no "ＶＲＫ" or "VRK" window of class TApplication
    EXPECT_EQ(0, Finish());
    EXPECT_TRUE(inst.Registered());
    EXPECT_TRUE(ts::WaitForLine(log_, "start ", 15000));
}

TEST_F(Cmdline, ARunningExcelIsClosedAndNoWorkbookIsMarkedSaved) {
    Installation inst(Installation::Options().Registered());
    ts::ScopedExcelProgIds ids({"Excel.Application.5"});
    ts::ExcelStandIn excel;
    ASSERT_TRUE(excel.Start({{excel::kCommonAddin, true}, {"Book1.xls", false}}));
    Start("x", inst);
    EXPECT_EQ(0, Finish());
    EXPECT_EQ(0, excel.WaitForExit(15000));
    bool closed = false, quit = false;
    for (const std::string& line : excel.LogLines()) {
        closed |= line == std::string("closed ") + excel::kCommonAddin;
        quit |= line.rfind("quit ", 0) == 0;
        EXPECT_EQ(std::string::npos, line.find("Saved")) << line;
    }
    EXPECT_TRUE(closed);
    EXPECT_TRUE(quit);
}

// An Excel held by a modal dialog never returns from Quit: the run goes on after its budget, and
// its end takes the blocked call with it.
TEST_F(Cmdline, AnExcelThatHangsInQuitDoesNotHoldTheRun) {
    Installation inst(Installation::Options().Registered());
    ts::ScopedExcelProgIds ids({"Excel.Application.5"});
    ts::ExcelStandIn excel;
    ts::ExcelStandIn::Options hung;
    hung.hang = true;
    hung.lifetimeMs = 120000;
    ASSERT_TRUE(excel.StartWith(hung));
    Start("/EXE=" + probe_, inst);
    EXPECT_EQ(0, Finish());
    EXPECT_TRUE(inst.Registered());
    EXPECT_TRUE(ts::WaitForLine(log_, "start ", 15000));
    EXPECT_TRUE(excel.Running());
    EXPECT_EQ(1u, ts::LinesStartingWith(excel.LogPath(), "hang").size());
}

// As on a Windows without automation: the running test finds nothing, and the run goes on.
TEST_F(Cmdline, WithoutOleAutomationARunningExcelIsNotSeenAndTheRunGoesOn) {
    Installation inst(Installation::Options().Registered());
    ts::ScopedExcelProgIds ids({"Excel.Application.5"});
    ts::ExcelStandIn excel;
    ASSERT_TRUE(excel.Start({{excel::kCommonAddin, true}}));
    // Wine's per-program setting keeps oleaut32 from the program (ole32 it cannot: Wine's own
    // shell functions need it).
    const std::string app = "Software\\Wine\\AppDefaults\\TorvaMan.exe";
    ts::ScopedRegKey restored(HKEY_CURRENT_USER, app);
    ts::RegSet(HKEY_CURRENT_USER, app + "\\DllOverrides", "oleaut32", "");
    Start("x", inst);
    EXPECT_EQ(0, Finish());
    EXPECT_TRUE(inst.Registered());  // switched off and on again
    EXPECT_TRUE(excel.Running());
    for (const std::string& line : excel.LogLines()) EXPECT_EQ(std::string::npos, line.find("quit")) << line;
}

namespace {
int g_paints = 0, g_otherPaints = 0;
LRESULT CALLBACK CountPaints(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_PAINT) {
        ++(GetPropA(h, "counted") ? g_paints : g_otherPaints);
        ValidateRect(h, nullptr);
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}
}  // namespace

TEST_F(Cmdline, ARunningManagerOfTheSameEditionIsRefreshed) {
    Installation inst(Installation::Options().Registered());
    HWND other = ts::CreateTestWindow("TManagerForm", "Torvaマネージャ", CountPaints);
    HWND mine = ts::CreateTestWindow("TManagerForm", "Torvaマネージャ", CountPaints);
    MarkManagerWindow(other, "EC");
    MarkManagerWindow(mine, "EA");
    SetPropA(mine, "counted", reinterpret_cast<HANDLE>(1));
    UniqueHandle marker(CreateMutexA(nullptr, FALSE, "MutexObjectForAppEA"));

    Start("x", inst);
    g_paints = g_otherPaints = 0;
    const DWORD end = GetTickCount() + 30000;
    while (run_.Running() && static_cast<int>(end - GetTickCount()) > 0) ts::PumpMessages(20);
    ts::PumpMessages(200);
    EXPECT_EQ(0, Finish());
    EXPECT_EQ(2, g_paints);  // after switching off and after switching on
    EXPECT_EQ(0, g_otherPaints);  // another edition's manager is left alone
    DestroyWindow(mine);
    DestroyWindow(other);
}

TEST_F(Cmdline, AWatchWithOnlyAClassWatchesUntitledWindows) {
    Installation inst(Installation::Options().Registered());
    // Titles missing from the watch are empty texts, not "any title".
    HWND titled = ts::CreateTestWindow("TorvaTestOnlyClass", "has a title");
    Start("/CW=TorvaTestOnlyClass /EXE=" + probe_, inst);
    EXPECT_EQ(0, Finish());
    EXPECT_TRUE(inst.Registered());
    EXPECT_TRUE(ts::WaitForLine(log_, "start ", 15000));
    DestroyWindow(titled);
}

TEST_F(Cmdline, LongQuotedAndDoubleByteArgumentsDoNoHarm) {
    Installation inst(Installation::Options().Registered());
    // A missing program of 20,000 bytes full of "ソ" (whose second byte is a backslash) fails
    // silently while waited for; a quoted final program that is missing is reported.
    std::string longPath = "C:\\";
    while (longPath.size() < 20000) longPath += "\x83\x5C\\";
    Start(ts::Quoted(longPath + "x.exe") + " \"/exe=C:\\存在しないソフト\\x.exe\"", inst);
    const ts::MessageBoxInfo box = ts::WaitForMessageBox(run_.Pid(), 20000);
    ASSERT_NE(nullptr, box.hwnd);
    EXPECT_EQ("エラー", box.caption);
    EXPECT_EQ("指定のファイルがみつかりません。", box.text);
    EXPECT_TRUE(inst.Registered());
    ts::ClickButton(box.hwnd);
    EXPECT_EQ(0, Finish());
}

// A user without administrator rights, run in this process as the update script runs it. An Office folder
// that refuses new files but holds an administrator's Torva.xla keeps it through the whole run (the probe
// looks while the add-in is off) and carries the association; one that holds none gets the user's own.
TEST(CmdlineWithoutAdministratorRights, NothingIsTakenThatCannotComeBackAndTheAssociationStands) {
    for (const bool administratorsCopy : {true, false}) {
        SCOPED_TRACE(administratorsCopy ? "an administrator's copy" : "no copy");
        ts::TempDir dir;
        Installation inst(Installation::Options().Registered());
        const std::string office = inst.AddOffice(16);
        const std::string copy = office + excel::kProductWorkbook;
        if (administratorsCopy) {
            ASSERT_TRUE(ts::WriteFileBytes(copy, "ADMIN'S"));
        }
        inst.RefuseNewFiles(office);
        ASSERT_TRUE(SwitchAssociation(0, inst.ProductFolder(), 1));
        EXPECT_EQ(!administratorsCopy, ts::FileExists(inst.UsersTorvaXla()));

        const std::string log = dir / "probe.log";
        SetEnvironmentVariableA("TORVA_PROBE_LOG", log.c_str());
        SetEnvironmentVariableA("TORVA_PROBE_CHECK", copy.c_str());
        RunCommandLineMode({ts::FixturePath("Probe")}, false);
        SetEnvironmentVariableA("TORVA_PROBE_LOG", nullptr);
        SetEnvironmentVariableA("TORVA_PROBE_CHECK", nullptr);

        EXPECT_EQ(std::vector<std::string>{"check " + copy + (administratorsCopy ? " exists" : " missing")},
                  ts::LinesStartingWith(log, "check "));
        EXPECT_EQ(administratorsCopy, ts::FileExists(copy));
        EXPECT_EQ(!administratorsCopy, ts::FileExists(inst.UsersTorvaXla()));
        EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand("Excel.Sheet.5"));
        EXPECT_TRUE(inst.Registered());
    }
}
