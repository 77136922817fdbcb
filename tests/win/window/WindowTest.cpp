// The manager window of the program itself, driven from outside as a user would.
#include <gtest/gtest.h>

#include "excel/ExcelFacts.h"
#include "support/Installation.h"
#include "support/ManagerSupport.h"

using ts::Installation;
using ts::ManagerProcess;

namespace {

// Answers the next message box of the process with OK and returns what it said.
ts::MessageBoxInfo Answer(ManagerProcess& m) {
    ts::MessageBoxInfo box = ts::WaitForMessageBox(m.Pid(), 15000);
    if (box.hwnd) ts::ClickButton(box.hwnd);
    return box;
}

HWND MakeWindowOfClass(const char* cls) { return ts::CreateTestWindow(cls, "Microsoft Excel"); }

}  // namespace

TEST(ManagerWindow, ShowsTheRegisteredStateAt20x20WithoutTaskbarButton) {
    Installation inst(Installation::Options().Registered());
    ManagerProcess m;
    ASSERT_TRUE(m.Start());
    const auto c = m.Controls();
    EXPECT_EQ("Torvaマネージャ", ts::WindowText(m.Window()));
    EXPECT_EQ(ts::kRegisteredText, c.Panel1());
    EXPECT_EQ(ts::kNotAssociatedText, c.Panel2());
    EXPECT_EQ("Torva テスト版", c.Status());
    EXPECT_TRUE(c.Down(c.enableBtn));
    EXPECT_FALSE(c.Down(c.unEnableBtn));
    EXPECT_FALSE(c.Enabled(c.okBtn));  // nothing chosen yet

    RECT rc;
    GetWindowRect(m.Window(), &rc);
    EXPECT_EQ(20, rc.left);
    EXPECT_EQ(20, rc.top);
    RECT client;
    GetClientRect(m.Window(), &client);
    EXPECT_EQ(235, client.right);
    EXPECT_EQ(304, client.bottom);
    // Owned by a hidden tool window: no taskbar button for either.
    HWND owner = GetWindow(m.Window(), GW_OWNER);
    ASSERT_NE(nullptr, owner);
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_FALSE(GetWindowLongA(m.Window(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_FALSE(GetWindowLongA(m.Window(), GWL_STYLE) & WS_MAXIMIZEBOX);
    EXPECT_EQ(0, m.Close());
}

TEST(ManagerWindow, ShowsTheRemovedStateAndAnEmptyStatusWithoutDisplay) {
    Installation::Options o;
    Installation inst(o);
    // Without [Product] Display the panel is empty, never the design text.
    ts::WriteSettingsFile(inst.SettingsPath(), "[NewEnv]\r\nExcelDir=" + inst.ExcelFolder() + "\r\n[GenDir]\r\nDir=" +
                                                   inst.ProductFolder() + "\r\n");
    ManagerProcess m;
    ASSERT_TRUE(m.Start());
    const auto c = m.Controls();
    EXPECT_EQ(ts::kRemovedText, c.Panel1());
    EXPECT_EQ("", c.Status());
    EXPECT_FALSE(c.Down(c.enableBtn));
    EXPECT_TRUE(c.Down(c.unEnableBtn));
    EXPECT_EQ(0, m.Close());
}

TEST(ManagerWindow, ABrokenInstallationIsReportedAndEndsTheProgram) {
    Installation inst(Installation::Options().WithoutProductDir());
    ManagerProcess m;
    ASSERT_TRUE(m.Process().Start(ts::Quoted(ts::BuildDir() + "TorvaMan.exe")));
    const ts::MessageBoxInfo box = Answer(m);
    ASSERT_NE(nullptr, box.hwnd);
    EXPECT_EQ("TorvaEAマネージャー起動エラー", box.caption);
    EXPECT_EQ("システムが異常です。\rExcelもしくはTorvaEAが正常にインストールされてません。\r\rTorvaEAマネージャーを強制終了します。",
              box.text);
    EXPECT_EQ(0, m.Process().Wait(15000));
}

TEST(ManagerWindow, ApplyingARegistrationPlacesTheWorkbookAndRefreshes) {
    Installation inst;
    ManagerProcess m;
    ASSERT_TRUE(m.Start());
    const auto c = m.Controls();
    ManagerProcess::Press(c.enableBtn);
    ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return c.Enabled(c.okBtn); }));
    EXPECT_TRUE(c.Down(c.enableBtn));
    EXPECT_FALSE(c.Down(c.unEnableBtn));
    // Choosing to register proposes the association too; keep this apply to the add-in.
    if (c.Checked()) {
        ManagerProcess::Press(c.expChk);
        ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return !c.Checked(); }));
    }
    EXPECT_TRUE(c.Enabled(c.okBtn));
    ManagerProcess::Press(c.okBtn);
    const ts::MessageBoxInfo box = Answer(m);
    EXPECT_EQ("TorvaEAマネージャー", box.caption);
    EXPECT_EQ("TorvaEAをアドイン登録しました。\r\rこの設定は次回Excel起動時から有効になります。\r\r", box.text);
    EXPECT_TRUE(ManagerProcess::WaitUntil([&] { return c.Panel1() == ts::kRegisteredText; }));
    EXPECT_TRUE(inst.Registered());
    EXPECT_EQ(Installation::AddinBytes(), ts::ReadFileBytes(inst.Installed()));
    EXPECT_TRUE(ManagerProcess::WaitUntil([&] { return !c.Enabled(c.okBtn); }));
    EXPECT_EQ(0, m.Close());
}

TEST(ManagerWindow, AnExcelWindowBlocksTheApplyAndKeepsTheChoice) {
    Installation inst;
    HWND excelWindow = MakeWindowOfClass(excel::kWindowClass);
    ASSERT_NE(nullptr, excelWindow);
    ManagerProcess m;
    ASSERT_TRUE(m.Start());
    const auto c = m.Controls();
    ManagerProcess::Press(c.enableBtn);
    ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return c.Enabled(c.okBtn); }));
    ManagerProcess::Press(c.okBtn);
    const ts::MessageBoxInfo box = Answer(m);
    EXPECT_EQ("Torvaマネージャ", box.caption);
    EXPECT_EQ("Excelが動作中のため\rこの上記設定を有効にすることができませんでした。\r\r"
              "起動中のExcelを終了してから再度この操作をおこなってください。\r\r",
              box.text);
    ts::PumpMessages(300);
    EXPECT_FALSE(inst.Registered());
    EXPECT_EQ(ts::kRemovedText, c.Panel1());  // not refreshed: the choice stays on screen
    EXPECT_TRUE(c.Down(c.enableBtn));
    EXPECT_TRUE(c.Enabled(c.okBtn));
    DestroyWindow(excelWindow);
    EXPECT_EQ(0, m.Close());
}

TEST(ManagerWindow, AFailedSwitchIsReportedAndTheProgramEnds) {
    Installation inst;
    // A folder where the installed copy belongs: the copy cannot be made.
    ASSERT_TRUE(CreateDirectoryA(inst.Installed().c_str(), nullptr));
    ManagerProcess m;
    ASSERT_TRUE(m.Start());
    const auto c = m.Controls();
    EXPECT_EQ(ts::kRemovedText, c.Panel1());
    ManagerProcess::Press(c.enableBtn);
    ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return c.Enabled(c.okBtn); }));
    if (c.Checked()) {
        ManagerProcess::Press(c.expChk);
        ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return !c.Checked(); }));
    }
    ManagerProcess::Press(c.okBtn);
    const ts::MessageBoxInfo box = Answer(m);
    EXPECT_EQ("システムエラー", box.caption);
    EXPECT_EQ("システムエラーが発生したため\rTorvaをアドイン登録することができませんでした。\r\rTorvaEAマネージャを強制終了します。",
              box.text);
    EXPECT_EQ(0, m.Process().Wait(15000));
    RemoveDirectoryA(inst.Installed().c_str());
}

TEST(ManagerWindow, BothChangesAtOnceShowOnlyTheAddinMessage) {
    Installation inst;
    ManagerProcess m;
    ASSERT_TRUE(m.Start());
    const auto c = m.Controls();
    ASSERT_TRUE(c.Enabled(c.expChk) || !c.Checked()) << "association not writable here";
    ManagerProcess::Press(c.enableBtn);
    ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return c.Enabled(c.okBtn); }));
    if (!c.Checked()) GTEST_SKIP() << "this user may not write the association";
    ManagerProcess::Press(c.okBtn);
    const ts::MessageBoxInfo box = Answer(m);
    EXPECT_EQ("TorvaEAマネージャー", box.caption);
    EXPECT_TRUE(ManagerProcess::WaitUntil([&] { return c.Panel1() == ts::kRegisteredText; }));
    // No second message (M7) follows.
    EXPECT_EQ(nullptr, ts::WaitForMessageBox(m.Pid(), 700).hwnd);
    EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand("Excel.Sheet.5"));
    EXPECT_EQ(0, m.Close());
}

TEST(ManagerWindow, AssociatingAndDissociating) {
    Installation inst(Installation::Options().Registered());
    {
        ManagerProcess m;
        ASSERT_TRUE(m.Start());
        const auto c = m.Controls();
        if (!c.Enabled(c.expChk)) GTEST_SKIP() << "this user may not write the association";
        EXPECT_FALSE(c.Checked());
        ManagerProcess::Press(c.expChk);
        ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return c.Enabled(c.okBtn); }));
        ManagerProcess::Press(c.okBtn);
        const ts::MessageBoxInfo box = Answer(m);
        EXPECT_EQ("Torvaマネージャ", box.caption);
        EXPECT_EQ("エクスプローラとの関連づけを有効にしました\r\r", box.text);
        ts::PumpMessages(300);
        EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand("Excel.Sheet.5"));
        EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand(excel::kCsv));
        EXPECT_EQ(0, m.Close());
    }
    // Windows merges the user's classes into HKEY_CLASSES_ROOT; Wine does not, so the
    // merged side is written here for the window to read the association back.
    ASSERT_TRUE(ts::RegSet(HKEY_CLASSES_ROOT, "Excel.Sheet.5\\Shell\\Open\\ddeexec", "", excel::kAssociatedCommand));
    ManagerProcess m;
    ASSERT_TRUE(m.Start());
    const auto c = m.Controls();
    EXPECT_EQ(ts::kAssociatedText, c.Panel2());
    EXPECT_TRUE(c.Checked());
    EXPECT_FALSE(c.Enabled(c.okBtn));
    ManagerProcess::Press(c.expChk);
    ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return c.Enabled(c.okBtn); }));
    ManagerProcess::Press(c.okBtn);
    const ts::MessageBoxInfo box = Answer(m);
    EXPECT_EQ("Torvaマネージャ", box.caption);
    EXPECT_EQ("エクスプローラとの関連づけを解除しました\r\r", box.text);
    ts::PumpMessages(300);
    EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand("Excel.Sheet.5"));
    EXPECT_TRUE(inst.Registered());  // the add-in was left alone
    EXPECT_EQ(0, m.Close());
}

TEST(ManagerWindow, MinimisingHidesUntilTheTrayIconIsDoubleClicked) {
    Installation inst(Installation::Options().Registered());
    ManagerProcess m;
    ASSERT_TRUE(m.Start());
    const auto c = m.Controls();
    ASSERT_NE(nullptr, c.callbackWindow);
    PostMessageA(m.Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return !IsWindowVisible(m.Window()); }));
    EXPECT_TRUE(m.Process().Running());
    EXPECT_FALSE(IsWindowVisible(GetWindow(m.Window(), GW_OWNER)));

    PostMessageA(c.callbackWindow, 1224, 1, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(ManagerProcess::WaitUntil([&] { return IsWindowVisible(m.Window()) != FALSE; }));
    EXPECT_FALSE(IsIconic(m.Window()));
    EXPECT_FALSE(IsWindowVisible(GetWindow(m.Window(), GW_OWNER)));
    EXPECT_EQ(ts::kRegisteredText, c.Panel1());
    EXPECT_EQ(0, m.Close());
}

TEST(ManagerWindow, TheCloseButtonEndsTheProgram) {
    Installation inst(Installation::Options().Registered());
    ManagerProcess m;
    ASSERT_TRUE(m.Start());
    ManagerProcess::Press(m.Controls().closeBtn);
    EXPECT_EQ(0, m.Process().Wait(15000));
}

TEST(ManagerWindow, ACommandLineRunRefreshesTheManagerOfItsEdition) {
    Installation inst;
    ManagerProcess m;
    ASSERT_TRUE(m.Start());
    const auto c = m.Controls();
    EXPECT_EQ(ts::kRemovedText, c.Panel1());
    // The command line registers the add-in at its end and tells the running manager.
    ts::TempDir dir;
    const std::string program = dir / "TorvaMan.exe";
    ASSERT_TRUE(CopyFileA(ts::ProgramPath().c_str(), program.c_str(), FALSE));
    EXPECT_EQ(0, ts::RunAndWait(ts::Quoted(program) + " x", 30000));
    EXPECT_TRUE(inst.Registered());
    EXPECT_TRUE(ManagerProcess::WaitUntil([&] { return c.Panel1() == ts::kRegisteredText; }));
    EXPECT_EQ(0, m.Close());
}
