#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

#include "environment/Launch.h"
#include "excel/ExcelAutomation.h"
#include "support/ExcelStandIn.h"
#include "support/TestSupport.h"

namespace {

// A visible top-level window of this thread, standing for the application window.
class OwnerWindow {
public:
    OwnerWindow() {
        hwnd_ = ts::CreateTestWindow("TorvaLaunchOwner", "owner", DefWindowProcA, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                     10, 10, 200, 100);
        ts::PumpMessages(50);
    }
    ~OwnerWindow() { DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }
    std::string HandleText() const { return std::to_string(reinterpret_cast<INT_PTR>(hwnd_)); }

private:
    HWND hwnd_;
};

// Closes (and records) any message box this process shows until the guarded call returns,
// so that a box nobody expects fails the test instead of hanging it.
class UnexpectedBoxGuard {
public:
    UnexpectedBoxGuard()
        : thread_([this] {
              while (!done_) {
                  const ts::MessageBoxInfo box = ts::WaitForMessageBox(GetCurrentProcessId(), 100);
                  if (box.hwnd) {
                      texts_.push_back(box.caption + ": " + box.text);
                      ts::ClickButton(box.hwnd, IDOK);
                  }
              }
          }) {}
    std::vector<std::string> Finish() {
        done_ = true;
        thread_.join();
        return texts_;
    }
    ~UnexpectedBoxGuard() {
        if (thread_.joinable()) Finish();
    }

private:
    std::atomic<bool> done_{false};
    std::vector<std::string> texts_;
    ts::Thread thread_;
};

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

// ---- start and wait -------------------------------------------------------------------

TEST(RunProgramWait, ReturnsOnlyAfterTheProgramEndedWithTheOwnerHiddenMeanwhile) {
    ts::TempDir dir;
    OwnerWindow owner;
    ts::MessageBoxRecorder boxes;
    const std::string log = dir / "probe.log";
    ASSERT_TRUE(IsWindowVisible(owner.get()));
    const std::string params = ts::Quoted("--log=" + log) + " --owner=" + owner.HandleText() + " --sleep=300 two";

    EXPECT_TRUE(RunProgram(ts::FixturePath("Probe"), params, owner.get(), 1));

    const auto lines = ts::ReadLines(log);
    ASSERT_EQ(3u, lines.size()) << ts::ReadFileBytes(log);
    EXPECT_NE(std::string::npos, lines[0].find("args=[--log=" + log + "][--owner=" + owner.HandleText() +
                                               "][--sleep=300][two]"))
        << lines[0];
    EXPECT_EQ("owner visible=0 enabled=0", lines[1]);
    EXPECT_EQ(0u, lines[2].rfind("end exe=Probe.exe", 0)) << "the call returned before the program ended";
    EXPECT_TRUE(IsWindowVisible(owner.get()));
    EXPECT_TRUE(IsWindowEnabled(owner.get()));
    EXPECT_EQ(owner.get(), GetForegroundWindow());
    EXPECT_TRUE(boxes.calls().empty());
}

// As the command line starts it: no parameters, a path with spaces and Japanese.
TEST(RunProgramWait, StartsAProgramWithoutParametersFromAJapanesePath) {
    ts::TempDir dir;
    OwnerWindow owner;
    const std::string program = dir / "更新 ツール.exe";
    ASSERT_TRUE(CopyFileA(ts::FixturePath("Probe").c_str(), program.c_str(), FALSE));
    const std::string log = dir / "probe.log";
    const std::string present = dir / "基盤関数.XLA";
    ASSERT_TRUE(ts::WriteFileBytes(present, "x"));
    // The probe takes its orders from the environment it inherits.
    SetEnvironmentVariableA("TORVA_PROBE_LOG", log.c_str());
    SetEnvironmentVariableA("TORVA_PROBE_CHECK", (present + "|" + (dir / "none.XLA")).c_str());
    const bool started = RunProgram(program, "", owner.get(), 1);
    SetEnvironmentVariableA("TORVA_PROBE_LOG", nullptr);
    SetEnvironmentVariableA("TORVA_PROBE_CHECK", nullptr);

    EXPECT_TRUE(started);
    EXPECT_THAT(ts::ReadLines(log),
                ::testing::ElementsAre(::testing::EndsWith(" args="), "check " + present + " exists",
                                       "check " + (dir / "none.XLA") + " missing",
                                       ::testing::StartsWith("end exe=更新 ツール.exe")));
}

TEST(RunProgramWait, AProgramThatFailsStillCountsAsStarted) {
    ts::TempDir dir;
    OwnerWindow owner;
    const std::string log = dir / "probe.log";
    EXPECT_TRUE(RunProgram(ts::FixturePath("Probe"), ts::Quoted("--log=" + log) + " --exit=3", owner.get(), 1));
    EXPECT_EQ(2u, ts::ReadLines(log).size());
}

TEST(RunProgramWait, AMissingProgramFailsSilentlyAndTheOwnerComesBack) {
    ts::TempDir dir;
    OwnerWindow owner;
    ts::MessageBoxRecorder boxes;
    UnexpectedBoxGuard guard;
    EXPECT_FALSE(RunProgram(dir / "missing.exe", "", owner.get(), 1));
    EXPECT_FALSE(RunProgram(dir / "nofolder\\missing.exe", "", owner.get(), 1));
    EXPECT_THAT(guard.Finish(), ::testing::IsEmpty());
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(IsWindowVisible(owner.get()));
    EXPECT_TRUE(IsWindowEnabled(owner.get()));
}

// ---- start and return ------------------------------------------------------------------

TEST(RunProgramNoWait, ReturnsWhileTheProgramStillRuns) {
    ts::TempDir dir;
    OwnerWindow owner;
    ts::MessageBoxRecorder boxes;
    const std::string log = dir / "probe.log";
    const std::string event = "TorvaLaunchGo" + std::to_string(GetCurrentProcessId());
    UniqueHandle go(CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
    ASSERT_TRUE(go);

    ASSERT_TRUE(RunProgram(ts::FixturePath("Probe"), ts::Quoted("--log=" + log) + " --wait-event=" + event + " x",
                           owner.get(), 0));
    // The probe cannot end before the event is set, so it must still be running here.
    ASSERT_TRUE(ts::WaitForLine(log, "start ", 20000));
    EXPECT_TRUE(ts::LinesStartingWith(log, "end ").empty());
    EXPECT_NE(std::string::npos, ts::LinesStartingWith(log, "start ")[0].find("][x]"));
    SetEvent(go.get());
    EXPECT_TRUE(ts::WaitForLine(log, "end ", 20000));
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(IsWindowVisible(owner.get()));
}

TEST(RunProgramNoWait, AMissingProgramIsReported) {
    ts::TempDir dir;
    OwnerWindow owner;
    ts::MessageBoxRecorder boxes;
    EXPECT_FALSE(RunProgram(dir / "missing.exe", "", owner.get(), 0));
    ASSERT_EQ(1u, boxes.calls().size());
    EXPECT_EQ("指定のファイルがみつかりません。", boxes.calls()[0].text);
    EXPECT_EQ("エラー", boxes.calls()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes.calls()[0].flags);
    EXPECT_EQ(owner.get(), boxes.calls()[0].owner);
}

TEST(RunProgramNoWait, AFileWithoutAProgramForItsExtensionIsReported) {
    ts::TempDir dir;
    ts::MessageBoxRecorder boxes;
    const std::string file = dir / "売上.torvaxyz";
    ASSERT_TRUE(ts::WriteFileBytes(file, "data"));
    EXPECT_FALSE(RunProgram(file, "", nullptr, 0));
    ASSERT_EQ(1u, boxes.calls().size());
    EXPECT_EQ("拡張子( .torvaxyz )にはプログラムが関連づけされてません。\n\n指定の " + file +
                  " を開くことはできませんでした。",
              boxes.calls()[0].text);
    EXPECT_EQ("エラー", boxes.calls()[0].caption);
}

// ---- the messages ------------------------------------------------------------------------

TEST(StartErrorMessage, ListedCodes) {
    EXPECT_EQ("システムメモリ不足、またはプログラムファイルが破損しています。", StartErrorMessage(0, "a.exe"));
    EXPECT_EQ("指定のパスは無効です。", StartErrorMessage(3, "a.exe"));
    EXPECT_EQ("Windowsの32ビット拡張が必要です。", StartErrorMessage(21, "a.exe"));
}

TEST(StartErrorMessage, UnlistedCodesAreUnexpected) {
    for (int code : {-1, 1, 4, 7, 9, 17, 18, 22, 23, 24, 25, 26, 27, 28, 29, 30, 32, 33, 100})
        EXPECT_EQ("予期せぬエラーが発生しました。", StartErrorMessage(code, "a.exe")) << code;
}

TEST(StartErrorMessage, NoAssociationNamesTheExtensionAndTheFile) {
    EXPECT_EQ("拡張子( .xyz )にはプログラムが関連づけされてません。\n\n指定の report.xyz を開くことはできませんでした。",
              StartErrorMessage(31, "report.xyz"));
    // Only the last period of the file name part counts; a period in a folder name does not.
    EXPECT_EQ("拡張子( .gz )にはプログラムが関連づけされてません。",
              FirstLine(StartErrorMessage(31, "C:\\a.b\\data.tar.gz")));
    EXPECT_EQ("拡張子(  )にはプログラムが関連づけされてません。\n\n指定の C:\\a.b\\README を開くことはできませんでした。",
              StartErrorMessage(31, "C:\\a.b\\README"));
    EXPECT_EQ("拡張子( . )にはプログラムが関連づけされてません。", FirstLine(StartErrorMessage(31, "C:\\x\\name.")));
    // "ソ" ends in the byte of a backslash: it separates nothing.
    EXPECT_EQ("拡張子( .b\x83\x5C" "c )にはプログラムが関連づけされてません。",
              FirstLine(StartErrorMessage(31, "C:\\a.b\x83\x5C" "c")));
}

// ---- the Excel window test --------------------------------------------------------------

TEST(IsExcelWindowPresent, FollowsAnyXlmainWindow) {
    EXPECT_FALSE(IsExcelWindowPresent());
    {
        HWND hidden = ts::CreateTestWindow("XLMAIN", "", DefWindowProcA, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100);
        ASSERT_NE(nullptr, hidden);
        EXPECT_TRUE(IsExcelWindowPresent());
        DestroyWindow(hidden);
        UnregisterClassA("XLMAIN", GetModuleHandleA(nullptr));
    }
    EXPECT_FALSE(IsExcelWindowPresent());

    // A hidden Excel of another process, started for automation.
    ts::ExcelStandIn excel;
    ASSERT_TRUE(excel.Start({}));
    EXPECT_TRUE(IsExcelWindowPresent());
    excel.Kill();
    EXPECT_FALSE(IsExcelWindowPresent());
}

TEST(IsExcelWindowPresent, AnExcelWithoutItsWindowIsNotSeen) {
    ts::ExcelStandIn::Options o;
    o.window = false;
    ts::ExcelStandIn excel;
    ASSERT_TRUE(excel.StartWith(o));
    EXPECT_FALSE(IsExcelWindowPresent());
}

TEST(RunProgram, APathTooLongForTheShellIsRefusedWithoutReachingIt) {
    // 300 characters, well past what the shell takes (and past where Wine's shell overruns).
    std::string path = "C:\\";
    while (path.size() < 600) path += "\x83\x5C\\";
    OwnerWindow owner;
    ts::MessageBoxRecorder boxes;
    EXPECT_FALSE(RunProgram(path + "x.exe", "", owner.get(), 1));
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(IsWindowVisible(owner.get()));
    EXPECT_TRUE(IsWindowEnabled(owner.get()));
    EXPECT_FALSE(RunProgram(path + "x.exe", "", owner.get(), 0));
    ASSERT_EQ(1u, boxes.calls().size());
    EXPECT_EQ("指定のパスは無効です。", boxes.calls()[0].text);
}
