// The component's properties, life cycle and shell calls, through the recorder.
#include <cstddef>
#include <memory>

#include "TrayTest.h"

namespace {

std::vector<int> LiveIds() {
    std::vector<int> ids;
    for (const TrayIconEntry& e : TrayIconList()) ids.push_back(std::stoi(e.Id));
    return ids;
}

// Two frames to cycle through.
void FillFrames(TImageList& list) {
    for (int i = 0; i < 2; ++i) {
        HICON h = ts::MakeTestIcon();
        list.AddIcon(h);
        DestroyIcon(h);
    }
}

TEST(TrayIcon, IdsFollowTheHighestLiveOne) {
    ASSERT_TRUE(TrayIconList().empty());
    TComponent owner(nullptr);
    auto* a = new TTrayIcon_(&owner);
    auto* b = new TTrayIcon_(&owner);
    auto* c = new TTrayIcon_(&owner);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), LiveIds());
    delete c;
    c = new TTrayIcon_(&owner);
    EXPECT_EQ(3, c->IconId());
    delete b;
    EXPECT_EQ(4, (new TTrayIcon_(&owner))->IconId());
    EXPECT_EQ((std::vector<int>{1, 3, 4}), LiveIds());
    EXPECT_EQ(3, owner.ComponentCount());
    delete a;
    while (owner.ComponentCount()) delete owner.Components(0);
    EXPECT_EQ(1, TTrayIcon_(nullptr).IconId());
}

TEST(TrayIcon, TheHundredAndFirstFailsAndLeavesTheOthersAlone) {
    ts::ShellRecorder shell;
    TComponent owner(nullptr);
    for (int i = 0; i < 100; ++i) new TTrayIcon_(&owner);
    auto* last = static_cast<TTrayIcon_*>(owner.Components(99));
    ShowWithIcon(*last);
    try {
        TTrayIcon_ extra(&owner);
        FAIL() << "no error";
    } catch (const ENotifyIconError& e) {
        EXPECT_EQ(kCannotRegister, e.Message());
    }
    EXPECT_EQ(100u, TrayIconList().size());
    EXPECT_EQ(100, owner.ComponentCount());
    EXPECT_EQ("100", TrayIconList().back().Id);
    EXPECT_TRUE(last->Added());
    EXPECT_EQ("ADD", shell.Sequence());
}

TEST(TrayIcon, StartsWithTheTableValuesAndTalksToNoOne) {
    ts::ShellRecorder shell;
    TTrayIcon_ icon(nullptr);
    EXPECT_EQ(500, icon.AnimateRate());
    EXPECT_TRUE(icon.AutoPopup());
    EXPECT_TRUE(icon.Enabled());
    EXPECT_EQ("TipHelp", icon.TipHelp());
    EXPECT_FALSE(icon.Visible());
    EXPECT_EQ(10, icon.BalloonTimeout());
    EXPECT_EQ(biifNone, icon.BalloonIcon());
    EXPECT_FALSE(icon.FormActiveByMouseup() || icon.Added() || icon.ClickPending() || icon.Animating());
    EXPECT_TRUE(icon.Icon().Empty());
    EXPECT_EQ(nullptr, icon.LBPopupMenu());
    EXPECT_EQ(6, icon.ShellMajor());  // Wine's shell32 6.0
    EXPECT_TRUE(icon.IsXPOrLater());  // Wine's default Windows 7
    EXPECT_TRUE(shell.calls.empty());
}

TEST(TrayIcon, AddFillsTheFixedPartOfTheRecord) {
    ts::ShellRecorder shell;
    TTrayIcon_ icon(nullptr);
    ShowWithIcon(icon);
    ASSERT_EQ(1u, shell.calls.size());
    const ts::ShellCall& c = shell.calls[0];
    EXPECT_EQ(DWORD(NIM_ADD), c.message);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, guidItem), c.cbSize);
    EXPECT_EQ(1224u, c.uCallbackMessage);
    EXPECT_EQ(UINT(icon.IconId()), c.uID);
    EXPECT_EQ(SharedCallbackWindow()->Handle(), c.hWnd);
    EXPECT_EQ(icon.Icon().Handle(), c.hIcon);
    EXPECT_EQ(7u, c.uFlags);
    EXPECT_EQ("TipHelp", c.tip);
}

TEST(TrayIcon, TipIsCutTo63BytesAndOnlyChangesReachTheShell) {
    ts::ShellRecorder shell;
    TTrayIcon_ icon(nullptr);
    ShowWithIcon(icon);
    const std::string seventy(70, 'x');
    icon.SetTipHelp(seventy);
    EXPECT_EQ(std::string(63, 'x'), icon.TipHelp());
    icon.SetTipHelp(std::string(63, 'x') + "yz");  // same first 63 bytes
    const std::string lead = std::string(62, 'a') + "漢字";  // byte 63 is a lead byte
    icon.SetTipHelp(lead);
    EXPECT_EQ(lead.substr(0, 63), icon.TipHelp());
    icon.SetTipHelp("");
    ASSERT_EQ("ADD MODIFY MODIFY MODIFY", shell.Sequence());
    EXPECT_EQ(std::string(63, 'x'), shell.calls[1].tip);
    EXPECT_EQ(7u, shell.calls[1].uFlags);
    EXPECT_EQ(lead.substr(0, 63), shell.calls[2].tip);
    EXPECT_EQ(3u, shell.calls[3].uFlags);
}

TEST(TrayIcon, SettersKeepTheirRanges) {
    TTrayIcon_ icon(nullptr);
    icon.SetAnimateRate(5);
    EXPECT_EQ(10, icon.AnimateRate());
    icon.SetAnimateRate(10);
    EXPECT_EQ(10, icon.AnimateRate());
    icon.SetAnimateRate(250);
    EXPECT_EQ(250, icon.AnimateRate());
    icon.SetBalloonTitle(std::string(70, 't'));
    icon.SetBalloonText(std::string(300, 'b'));
    EXPECT_EQ(63u, icon.BalloonTitle().size());
    EXPECT_EQ(255u, icon.BalloonText().size());
    icon.SetBalloonTimeout(5);
    EXPECT_EQ(10, icon.BalloonTimeout());
    icon.SetBalloonTimeout(61);
    EXPECT_EQ(60, icon.BalloonTimeout());
}

TEST(TrayIcon, HidingKeepsTheIconRegisteredWithANewShell) {
    ts::ShellRecorder shell;
    TestTrayIcon icon(nullptr);
    ShowWithIcon(icon);
    icon.SetVisible(false);
    EXPECT_TRUE(icon.Added());
    icon.SetVisible(true);
    ASSERT_EQ("ADD MODIFY MODIFY", shell.Sequence());
    for (int i : {1, 2}) {
        EXPECT_EQ(UINT(NIF_STATE), shell.calls[i].uFlags);
        EXPECT_EQ(3u, shell.calls[i].stateMask);
    }
    EXPECT_EQ(DWORD(NIS_HIDDEN), shell.calls[1].state);
    EXPECT_EQ(0u, shell.calls[2].state);
}

TEST(TrayIcon, HidingDeletesTheIconWithAnOldShell) {
    ts::ShellRecorder shell;
    TestTrayIcon icon(nullptr);
    icon.SetShellMajor(4);
    ShowWithIcon(icon);
    icon.SetVisible(false);
    EXPECT_FALSE(icon.Added());
    icon.SetVisible(true);
    EXPECT_EQ("ADD DELETE ADD", shell.Sequence());
    EXPECT_EQ(7u, shell.calls[2].uFlags);
}

TEST(TrayIcon, IconComesFromTheComponentTheFormOrTheApplication) {
    ts::ShellRecorder shell;
    TForm form(nullptr);
    auto* icon = new TTrayIcon_(&form);
    icon->SetVisible(true);
    EXPECT_FALSE(icon->Visible());  // no image anywhere
    Application().Icon().SetHandle(ts::MakeTestIcon());
    EXPECT_EQ(Application().IconHandle(), icon->CurrentIconHandle());
    form.Icon().SetHandle(ts::MakeTestIcon());
    EXPECT_EQ(form.IconHandle(), icon->CurrentIconHandle());
    icon->SetVisible(true);
    TIcon own;
    own.SetHandle(ts::MakeTestIcon());
    icon->SetIcon(&own);
    EXPECT_NE(own.Handle(), icon->Icon().Handle());  // a copy
    icon->SetIcon(nullptr);
    Application().Icon().SetHandle(nullptr);
    ASSERT_EQ("ADD MODIFY MODIFY", shell.Sequence());
    EXPECT_EQ(form.IconHandle(), shell.calls[0].hIcon);
    EXPECT_EQ(icon->Icon().Handle() ? icon->Icon().Handle() : shell.calls[1].hIcon, shell.calls[1].hIcon);
    EXPECT_NE(form.IconHandle(), shell.calls[1].hIcon);
    EXPECT_EQ(form.IconHandle(), shell.calls[2].hIcon);
}

TEST(TrayIcon, BalloonShowAddsTheIconFirstAndFillsTheBalloonFields) {
    ts::ShellRecorder shell;
    TTrayIcon_ icon(nullptr);
    icon.HideBalloon();  // invisible: nothing
    icon.ShowBalloon();  // no image anywhere: nothing
    EXPECT_TRUE(shell.calls.empty());
    icon.Icon().SetHandle(ts::MakeTestIcon());
    icon.SetBalloonTitle("題名");
    icon.SetBalloonTimeout(60);
    icon.SetBalloonIcon(biifWarning);
    icon.ShowBalloon();
    icon.SetBalloonText("本文");
    icon.ShowBalloon();
    icon.HideBalloon();
    ASSERT_EQ("ADD MODIFY MODIFY MODIFY", shell.Sequence());
    const ts::ShellCall& first = shell.calls[1];
    EXPECT_EQ(0x11u, first.uFlags);
    EXPECT_EQ(" ", first.info);
    EXPECT_EQ("題名", first.infoTitle);
    EXPECT_EQ(60000u, first.timeout);
    EXPECT_EQ(DWORD(NIIF_WARNING), first.infoFlags);
    EXPECT_EQ("本文", shell.calls[2].info);
    EXPECT_EQ(0x11u, shell.calls[3].uFlags);
    EXPECT_EQ("", shell.calls[3].info);
    EXPECT_EQ("", shell.calls[3].infoTitle);
}

TEST(TrayIcon, OldShellTurnsBalloonsIntoPlainUpdates) {
    ts::ShellRecorder shell;
    TestTrayIcon icon(nullptr);
    icon.SetShellMajor(0);
    ShowWithIcon(icon);
    icon.ShowBalloon();
    ASSERT_EQ("ADD MODIFY", shell.Sequence());
    EXPECT_EQ(7u, shell.calls[1].uFlags);
}

// ---- failures -----------------------------------------------------------------------

std::string ExpectError(const std::function<void()>& action) {
    try {
        action();
    } catch (const ENotifyIconError& e) {
        return e.Message();
    }
    return "no error";
}

TEST(TrayIconFailure, EachOperationRaisesItsOwnMessage) {
    ts::ShellRecorder shell;
    TTrayIcon_ icon(nullptr);
    icon.Icon().SetHandle(ts::MakeTestIcon());
    shell.FailWith = [](const ts::ShellCall& c, size_t) { return c.message == NIM_ADD ? ERROR_ACCESS_DENIED : 0; };
    EXPECT_EQ(kCannotRegister, ExpectError([&] { icon.SetVisible(true); }));
    EXPECT_TRUE(icon.Visible());
    EXPECT_FALSE(icon.Added());
    shell.FailWith = nullptr;
    icon.NotifyShell(TTrayIcon_::opAdd);
    shell.FailWith = [](const ts::ShellCall& c, size_t) { return c.message == NIM_ADD ? 0 : ERROR_ACCESS_DENIED; };
    EXPECT_EQ(kCannotRegister, ExpectError([&] { icon.SetTipHelp("new"); }));
    EXPECT_EQ("タスクトレイアイコンのバルーンメッセージ表示が切り替えられません。",
              ExpectError([&] { icon.ShowBalloon(); }));
    EXPECT_EQ("タスクトレイアイコンの表示が切り替えられません。", ExpectError([&] { icon.SetVisible(false); }));
    EXPECT_FALSE(icon.Visible());
    icon.NotifyShell(TTrayIcon_::opDelete);  // failure ignored
    EXPECT_FALSE(icon.Added());
}

TEST(TrayIconFailure, TimeOutRetryGivesUpAfterFiveRounds) {
    ts::ShellRecorder shell;
    shell.FailWith = [](const ts::ShellCall&, size_t) { return DWORD(ERROR_TIMEOUT); };
    TTrayIcon_ icon(nullptr);
    icon.Icon().SetHandle(ts::MakeTestIcon());
    EXPECT_EQ(kCannotRegister, ExpectError([&] { icon.SetVisible(true); }));
    EXPECT_EQ("ADD MODIFY ADD MODIFY ADD MODIFY ADD MODIFY ADD MODIFY ADD", shell.Sequence());
    EXPECT_FALSE(icon.Added());
}

TEST(TrayIconFailure, TimeOutRetryStopsWhenTheShellHasTheIcon) {
    ts::ShellRecorder shell;
    shell.FailWith = [](const ts::ShellCall&, size_t i) { return i < 3 ? DWORD(ERROR_TIMEOUT) : 0; };
    TTrayIcon_ icon(nullptr);
    ShowWithIcon(icon);
    EXPECT_EQ("ADD MODIFY ADD MODIFY", shell.Sequence());
    EXPECT_TRUE(icon.Added());
}

TEST(TrayIconFailure, OtherErrorsAndOlderSystemsGetNoRetry) {
    const std::string under = ts::RunningUnder();
    ts::ShellRecorder shell;
    shell.FailWith = [&](const ts::ShellCall&, size_t) {
        return under.empty() ? DWORD(ERROR_FILE_NOT_FOUND) : DWORD(ERROR_TIMEOUT);
    };
    TTrayIcon_ icon(nullptr);
    icon.Icon().SetHandle(ts::MakeTestIcon());
    EXPECT_EQ(under.empty() || under == "winxp", icon.IsXPOrLater()) << under;
    EXPECT_EQ(kCannotRegister, ExpectError([&] { icon.SetVisible(true); }));
    EXPECT_EQ(under == "winxp" ? "ADD MODIFY ADD MODIFY ADD MODIFY ADD MODIFY ADD MODIFY ADD" : "ADD",
              shell.Sequence());
}

TEST(TrayIconFailure, RetryDependsOnTheWindowsVersion) {
    if (!ts::RunningUnder().empty()) GTEST_SKIP();
    for (const char* v : {"win2k", "nt40", "winxp"})
        EXPECT_EQ(0, ts::RunSelfAs(v, "TrayIconFailure.OtherErrorsAndOlderSystemsGetNoRetry")) << v;
}

// ---- life cycle -------------------------------------------------------------------------

TEST(TrayIconLife, DestructionRemovesRegisteredIconsOnly) {
    ts::ShellRecorder shell;
    {
        TTrayIcon_ never(nullptr);
        TTrayIcon_ shown(nullptr);
        TTrayIcon_ hidden(nullptr);
        ShowWithIcon(shown);
        ShowWithIcon(hidden);
        hidden.SetVisible(false);
        shell.calls.clear();
    }
    ASSERT_EQ("DELETE DELETE", shell.Sequence());
    EXPECT_EQ(3u, shell.calls[0].uID);
    EXPECT_EQ(2u, shell.calls[1].uID);
    EXPECT_TRUE(TrayIconList().empty());
}

TEST(TrayIconLife, LoadingAddsTheIconOnceAtTheEnd) {
    ts::ShellRecorder shell;
    TTrayIcon_ icon(nullptr);
    icon.Icon().SetHandle(ts::MakeTestIcon());
    icon.BeginReading();
    EXPECT_EQ("", icon.TipHelp());
    icon.SetTipHelp("stored tip");
    icon.BeginReading();  // a second call in the same load keeps the stored tip
    icon.SetVisible(true);
    EXPECT_TRUE(shell.calls.empty());
    icon.FinishLoading();
    EXPECT_FALSE(icon.Loading());
    ASSERT_EQ("ADD", shell.Sequence());
    EXPECT_EQ("stored tip", shell.calls[0].tip);

    TTrayIcon_ hidden(nullptr);
    hidden.BeginReading();
    hidden.FinishLoading();
    EXPECT_EQ(1u, shell.calls.size());
}

TEST(TrayIconLife, DestroyedMenusAndListsAreForgotten) {
    TComponent owner(nullptr);
    auto* icon = new TTrayIcon_(&owner);
    auto* shared = new TPopupMenu(&owner);
    auto* left = new TPopupMenu(nullptr);
    auto* list = new TImageList(nullptr);
    icon->SetLBPopupMenu(left);
    icon->SetRBPopupMenu(shared);
    icon->SetAnimateIcons(list);
    delete left;
    EXPECT_EQ(nullptr, icon->LBPopupMenu());
    EXPECT_EQ(shared, icon->RBPopupMenu());
    icon->SetLBPopupMenu(shared);
    delete shared;
    EXPECT_EQ(nullptr, icon->LBPopupMenu());
    EXPECT_EQ(nullptr, icon->RBPopupMenu());
    delete list;
    EXPECT_EQ(nullptr, icon->AnimateIcons());
    // The other way round: a menu that outlives the icon is not told of a gone icon.
    TPopupMenu survivor(nullptr);
    icon->SetRBPopupMenu(&survivor);
    delete icon;
}

TEST(TrayIconLife, DisablingForgetsAPendingClick) {
    TTrayIcon_ icon(nullptr);
    icon.OnClick = [](TObject*) {};
    PostMessageA(SharedCallbackWindow()->Handle(), TrayCallbackMessage, icon.IconId(), WM_LBUTTONDBLCLK);
    ASSERT_TRUE(PumpUntil([&] { return icon.ClickPending(); }, 2000));
    icon.SetEnabled(false);
    EXPECT_FALSE(icon.ClickPending());
}

// ---- animation ------------------------------------------------------------------------------

TEST(TrayIconAnimation, FramesReachTheShellAndTheIconComesBack) {
    ts::ShellRecorder shell;
    TTrayIcon_ icon(nullptr);
    ShowWithIcon(icon);
    TImageList list(nullptr);
    TImageList other(nullptr);
    FillFrames(list);
    icon.SetAnimateIcons(&list);
    icon.SetAnimateRate(10);
    icon.StartAnimation();
    EXPECT_TRUE(icon.Animating());
    icon.SetAnimateIcons(&other);  // ignored while running
    EXPECT_EQ(&list, icon.AnimateIcons());
    ASSERT_TRUE(PumpUntil([&] { return shell.Count(NIM_MODIFY) >= 4; }, 5000));
    const size_t framesSeen = shell.calls.size();
    icon.SetTipHelp("not now");  // the animation holds the icon
    EXPECT_EQ(framesSeen, shell.calls.size());
    icon.StopAnimation();
    EXPECT_FALSE(icon.Animating());
    for (size_t i = 1; i < framesSeen; ++i) EXPECT_NE(icon.Icon().Handle(), shell.calls[i].hIcon) << i;
    EXPECT_NE(shell.calls[1].hIcon, shell.calls[2].hIcon);
    EXPECT_EQ(icon.Icon().Handle(), shell.calls.back().hIcon);
    EXPECT_EQ("not now", shell.calls.back().tip);
}

TEST(TrayIconAnimation, AFrameTheShellRefusesEndsTheAnimationAndIsReportedOnce) {
    Application().Initialize();
    ts::ShellRecorder shell;
    TTrayIcon_ icon(nullptr);
    ShowWithIcon(icon);
    TImageList list(nullptr);
    FillFrames(list);
    icon.SetAnimateIcons(&list);
    icon.SetAnimateRate(10);
    icon.StartAnimation();
    ASSERT_TRUE(PumpUntil([&] { return shell.Count(NIM_MODIFY) >= 2; }, 5000));
    shell.FailWith = [](const ts::ShellCall& c, size_t) { return c.message == NIM_MODIFY ? DWORD(ERROR_TIMEOUT) : 0; };
    // The first report's own message loop runs for a while, as a box the user has not closed yet does.
    ts::MessageBoxRecorder boxes;
    boxes.onShow = [&boxes](const ts::MessageBoxRecorder::Call&) {
        if (boxes.calls().size() == 1) ts::PumpMessages(300);
    };
    PumpUntil([&] { return !boxes.calls().empty(); }, 5000);
    ts::PumpMessages(200);
    ASSERT_EQ(1u, boxes.calls().size());
    EXPECT_EQ(kCannotRegister, boxes.calls()[0].text);
    EXPECT_NE(nullptr, boxes.calls()[0].owner);
    EXPECT_EQ(Application().Handle(), boxes.calls()[0].owner);
    EXPECT_FALSE(icon.Animating());
}

TEST(TrayIconAnimation, ItsListDestroyedWhileTheShellRefusesStopsItQuietly) {
    ts::ShellRecorder shell;
    TTrayIcon_ icon(nullptr);
    ShowWithIcon(icon);
    auto* list = new TImageList(nullptr);
    FillFrames(*list);
    icon.SetAnimateIcons(list);
    icon.StartAnimation();
    shell.FailWith = [](const ts::ShellCall& c, size_t) { return c.message == NIM_MODIFY ? DWORD(ERROR_TIMEOUT) : 0; };
    delete list;  // its destructor stops the animation, whose last shell call fails
    EXPECT_FALSE(icon.Animating());
    EXPECT_EQ(nullptr, icon.AnimateIcons());
    EXPECT_TRUE(icon.Added());
}

}  // namespace
