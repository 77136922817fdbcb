// Against the notification area of the running Wine desktop, and the callback
// window's place, each in a process of its own where it matters.
#include "TrayTest.h"

namespace {

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ENotifyIconError& e) {
        return e.Message();
    }
    return "";
}

TEST(TrayRealShell, AddHideShowTipBalloonAndDelete) {
    TTrayIcon_ icon(nullptr);
    EXPECT_EQ("", ErrorOf([&] { ShowWithIcon(icon); }));
    EXPECT_TRUE(icon.Added());
    EXPECT_EQ("", ErrorOf([&] {
                  icon.SetVisible(false);
                  icon.SetVisible(true);
                  icon.SetTipHelp("実機のヒント");
                  icon.Icon().SetHandle(ts::MakeTestIcon());
                  icon.SetBalloonText("本文");
                  icon.ShowBalloon();
                  icon.HideBalloon();
              }));
    EXPECT_TRUE(icon.Added());
    icon.NotifyShell(TTrayIcon_::opDelete);
    EXPECT_FALSE(icon.Added());
    // The shell no longer knows the ID.
    EXPECT_EQ(kCannotRegister, ErrorOf([&] { icon.NotifyShell(TTrayIcon_::opModify); }));
}

TEST(TrayRealShell, RestartMessageKeepsAnIconTheShellStillHas) {
    TTrayIcon_ icon(nullptr);
    ShowWithIcon(icon);
    std::string error;
    Application().OnException = [&](const std::exception& e) { error = e.what(); };
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ts::PumpMessages(300);
    Application().OnException = nullptr;
    EXPECT_EQ("", error);
    EXPECT_TRUE(icon.Added());
    EXPECT_EQ("", ErrorOf([&] { icon.SetTipHelp("still there"); }));
}

// The callback window is made once per process: these run in a fresh one.
bool Fresh() { return GetEnvironmentVariableA("TORVA_TRAY_FRESH", nullptr, 0) > 0; }

int RunFresh(const char* test) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return ts::RunAndWait(ts::Quoted(self) + " --gtest_filter=" + test, 60000, {"TORVA_TRAY_FRESH=1"});
}

TEST(TrayWindow, ChildOfTheFirstOwnerFormThenKeptForTheOtherIcons) {
    if (!Fresh()) {
        EXPECT_EQ(0, RunFresh("TrayWindow.ChildOfTheFirstOwnerFormThenKeptForTheOtherIcons"));
        return;
    }
    ts::ShellRecorder shell;
    auto* first = new TForm(nullptr);
    ShowWithIcon(*new TTrayIcon_(first));
    TForm second(nullptr);
    auto* other = new TTrayIcon_(&second);
    ShowWithIcon(*other);
    int doubleClicks = 0;
    other->OnDblClick = [&](TObject*) { ++doubleClicks; };
    HWND window = SharedCallbackWindow()->Handle();
    EXPECT_EQ(first->Handle(), GetParent(window));
    delete first;
    ASSERT_TRUE(IsWindow(window));
    EXPECT_NE(GetDesktopWindow(), GetAncestor(window, GA_PARENT));  // message-only now
    PostMessageA(window, TrayCallbackMessage, other->IconId(), WM_LBUTTONDBLCLK);
    ts::PumpMessages(50);
    EXPECT_EQ(1, doubleClicks);
    EXPECT_EQ("ADD ADD DELETE", shell.Sequence());
    EXPECT_EQ(window, shell.calls[2].hWnd);
}

TEST(TrayWindow, WithoutAnOwnerFormTheWindowIsMessageOnly) {
    if (!Fresh()) {
        EXPECT_EQ(0, RunFresh("TrayWindow.WithoutAnOwnerFormTheWindowIsMessageOnly"));
        return;
    }
    TComponent owner(nullptr);
    TTrayIcon_ icon(&owner);
    EXPECT_FALSE(SharedCallbackWindow()->HandleAllocated());  // made at the first add
    ShowWithIcon(icon);
    HWND window = SharedCallbackWindow()->Handle();
    EXPECT_TRUE(icon.Added());
    EXPECT_EQ(nullptr, GetParent(window));
    EXPECT_NE(GetDesktopWindow(), GetAncestor(window, GA_PARENT));
}

}  // namespace
