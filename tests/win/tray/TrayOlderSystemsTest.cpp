// The callback window where message-only windows do not exist (before Windows 2000):
// a hidden top-level window, each case in a process of its own under that Windows.
#include "TrayTest.h"

namespace {

bool UnderAnOlderSystem() { return ts::RunningUnder() == "win98" || ts::RunningUnder() == "nt40"; }

void ExpectHiddenTopLevel(HWND window) {
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetDesktopWindow(), GetAncestor(window, GA_PARENT));
    EXPECT_FALSE(IsWindowVisible(window));
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(0, style & WS_CHILD);
    EXPECT_NE(0, style & WS_POPUP);
}

int DoubleClick(HWND window, TTrayIcon_& icon) {
    int clicks = 0;
    icon.OnDblClick = [&](TObject*) { ++clicks; };
    PostMessageA(window, TrayCallbackMessage, icon.IconId(), WM_LBUTTONDBLCLK);
    ts::PumpMessages(50);
    icon.OnDblClick = nullptr;
    return clicks;
}

TEST(TrayWindowBefore2000, WithoutAnOwnerForm) {
    if (!UnderAnOlderSystem()) GTEST_SKIP() << "runs under win98 and nt40";
    TComponent owner(nullptr);
    TTrayIcon_ icon(&owner);
    ShowWithIcon(icon);
    EXPECT_TRUE(icon.Added());
    HWND window = SharedCallbackWindow()->Handle();
    ExpectHiddenTopLevel(window);
    EXPECT_EQ(1, DoubleClick(window, icon));
}

TEST(TrayWindowBefore2000, OutlivesItsOwnerForm) {
    if (!UnderAnOlderSystem()) GTEST_SKIP() << "runs under win98 and nt40";
    auto* first = new TForm(nullptr);
    ShowWithIcon(*new TTrayIcon_(first));
    TForm second(nullptr);
    TTrayIcon_ other(&second);
    ShowWithIcon(other);
    HWND window = SharedCallbackWindow()->Handle();
    EXPECT_EQ(first->Handle(), GetParent(window));
    delete first;
    ExpectHiddenTopLevel(window);
    EXPECT_EQ(1, DoubleClick(window, other));
}

TEST(TrayWindowBefore2000, UnderWindows98AndNt4) {
    for (const char* v : {"win98", "nt40"})
        for (const char* test : {"TrayWindowBefore2000.WithoutAnOwnerForm", "TrayWindowBefore2000.OutlivesItsOwnerForm"})
            EXPECT_EQ(0, ts::RunSelfAs(v, test)) << v << " " << test;
}

}  // namespace
