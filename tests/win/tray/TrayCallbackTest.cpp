// Notifications posted to the callback window as the shell posts them, with a message pump.
#include <algorithm>
#include <memory>
#include <stdexcept>

#include "TrayTest.h"

namespace {

void Deliver(int id, LPARAM notification) {
    PostMessageA(SharedCallbackWindow()->Handle(), TrayCallbackMessage, id, notification);
    ts::PumpMessages(20);
}

// Every event of an icon, as text.
struct EventLog {
    std::vector<std::string> lines;
    int clicks = 0;
    explicit EventLog(TTrayIcon_& icon, bool withMouseUp = true) {
        auto who = [&icon](TObject* s) { return s == &icon ? std::string() : std::string("wrong sender "); };
        auto mouse = [this, who](const char* what, TObject* s, int button, TShiftState shift, int x, int y) {
            lines.push_back(who(s) + what + " " + std::to_string(button) + " " + std::to_string(shift) + " " +
                            std::to_string(x) + "," + std::to_string(y));
        };
        icon.OnMouseMove = [mouse](TObject* s, TShiftState sh, int x, int y) { mouse("move", s, -1, sh, x, y); };
        icon.OnMouseDown = [mouse](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
            mouse("down", s, b, sh, x, y);
        };
        if (withMouseUp)
            icon.OnMouseUp = [mouse](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
                mouse("up", s, b, sh, x, y);
            };
        auto named = [this, who](const char* what) { return [this, who, what](TObject* s) { lines.push_back(who(s) + what); }; };
        icon.OnDblClick = named("dbl");
        icon.OnBalloonShow = named("balloon show");
        icon.OnBalloonHide = named("balloon hide");
        icon.OnBalloonTimeout = named("balloon timeout");
        icon.OnBalloonClick = named("balloon click");
        icon.OnClick = [this](TObject*) { ++clicks; };
    }
};

TEST(TrayCallback, EachNotificationRaisesItsEventWithThePointerPosition) {
    TTrayIcon_ icon(nullptr);
    EventLog log(icon);
    const POINT p = MoveCursor(150, 120);
    const std::string at = std::to_string(p.x) + "," + std::to_string(p.y);
    const struct {
        LPARAM notification;
        std::string expected;
    } rows[] = {
        {WM_MOUSEMOVE, "move -1 0 " + at},   {WM_LBUTTONDOWN, "down 0 8 " + at}, {WM_LBUTTONUP, "up 0 8 " + at},
        {WM_LBUTTONDBLCLK, "dbl"},           {WM_RBUTTONDOWN, "down 1 16 " + at}, {WM_RBUTTONUP, "up 1 16 " + at},
        {WM_RBUTTONDBLCLK, ""},              {WM_MBUTTONDOWN, "down 2 32 " + at}, {WM_MBUTTONUP, "up 2 32 " + at},
        {WM_MBUTTONDBLCLK, ""},              {0x402, "balloon show"},             {0x403, "balloon hide"},
        {0x404, "balloon timeout"},          {0x405, "balloon click"},            {0x401, ""},
    };
    for (const auto& row : rows) {
        log.lines.clear();
        Deliver(icon.IconId(), row.notification);
        EXPECT_EQ(row.expected, log.lines.empty() ? "" : log.lines[0]) << std::hex << row.notification;
        EXPECT_LE(log.lines.size(), 1u);
    }
    EXPECT_EQ(&icon, SharedCallbackWindow()->CurrentIcon);
}

TEST(TrayCallback, DisabledIconsAndUnknownIdsAreIgnored) {
    TTrayIcon_ first(nullptr), second(nullptr);
    EventLog log1(first), log2(second);
    second.SetEnabled(false);
    for (LPARAM n : {0x200, 0x201, 0x202, 0x203, 0x402}) {
        Deliver(second.IconId(), n);
        Deliver(7, n);
    }
    EXPECT_TRUE(log1.lines.empty());
    EXPECT_TRUE(log2.lines.empty());
    EXPECT_FALSE(second.ClickPending());
    EXPECT_EQ(&second, SharedCallbackWindow()->CurrentIcon);  // found, then ignored
}

TEST(TrayCallback, SingleClickRaisesOnClickOnceAfterTheDoubleClickTime) {
    TTrayIcon_ icon(nullptr);
    EventLog log(icon, false);
    Deliver(icon.IconId(), WM_LBUTTONDOWN);
    Deliver(icon.IconId(), WM_LBUTTONUP);
    EXPECT_EQ(0, log.clicks);
    EXPECT_TRUE(icon.ClickPending());
    ASSERT_TRUE(PumpUntil([&] { return log.clicks > 0; }, 10000));
    ts::PumpMessages(GetDoubleClickTime() + 300);
    EXPECT_EQ(1, log.clicks);
    EXPECT_FALSE(icon.ClickPending());
}

TEST(TrayCallback, DoubleClickRaisesOnDblClickAndNoClick) {
    TTrayIcon_ icon(nullptr);
    EventLog log(icon, false);
    for (LPARAM n : {0x201, 0x202, 0x203, 0x202}) Deliver(icon.IconId(), n);
    ts::PumpMessages(GetDoubleClickTime() + 300);
    EXPECT_EQ(1, std::count(log.lines.begin(), log.lines.end(), "dbl"));
    EXPECT_EQ(0, log.clicks);
}

TEST(TrayCallback, OnMouseUpTakesThePlaceOfOnClick) {
    TTrayIcon_ icon(nullptr);
    EventLog log(icon, true);
    Deliver(icon.IconId(), WM_LBUTTONUP);
    EXPECT_FALSE(icon.ClickPending());
    ts::PumpMessages(GetDoubleClickTime() + 300);
    EXPECT_EQ(0, log.clicks);
}

TEST(TrayCallback, ClickOfADestroyedIconIsDropped) {
    int clicks = 0;
    auto icon = std::make_unique<TTrayIcon_>(nullptr);
    icon->OnClick = [&](TObject*) { ++clicks; };
    Deliver(icon->IconId(), WM_LBUTTONUP);
    icon.reset();
    EXPECT_EQ(nullptr, SharedCallbackWindow()->CurrentIcon);
    ts::PumpMessages(GetDoubleClickTime() + 300);
    EXPECT_EQ(0, clicks);
}

TEST(TrayCallback, HandlerExceptionsReachTheApplication) {
    TTrayIcon_ icon(nullptr);
    icon.OnDblClick = [](TObject*) { throw std::runtime_error("boom"); };
    std::string caught;
    Application().OnException = [&](const std::exception& e) { caught = e.what(); };
    Deliver(icon.IconId(), WM_LBUTTONDBLCLK);
    Application().OnException = nullptr;
    EXPECT_EQ("boom", caught);
}

// ---- menus --------------------------------------------------------------------------------

// What a thread timer saw of the open menu before it chose an item (or closed it).
struct MenuProbe {
    static inline bool seen = false;
    static inline RECT rect{};
    static inline bool choose = false;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        HWND menu = FindWindowA("#32768", nullptr);
        seen = menu && IsWindowVisible(menu);
        if (seen) GetWindowRect(menu, &rect);
        if (choose && menu) {
            PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
            SetTimer(nullptr, 0, 3000, Close);  // should the keys not arrive
        } else {
            EndMenu();
        }
    }
    static void CALLBACK Close(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        EndMenu();
    }
    static void Arm(bool chooseFirst) {
        seen = false;
        choose = chooseFirst;
        SetTimer(nullptr, 0, 300, Tick);
    }
};

TEST(TrayMenu, ButtonDownOpensTheMenuAtThePointerInsteadOfOnMouseDown) {
    TForm form(nullptr);
    auto* icon = new TTrayIcon_(&form);
    auto* menu = new TPopupMenu(&form);
    EventLog log(*icon);
    int popups = 0, chosen = 0;
    menu->OnPopup = [&](TObject*) { ++popups; };
    menu->Add("表示", [&](TObject*) { ++chosen; });
    menu->Add("-");
    menu->Add("終了");
    const POINT p = MoveCursor(200, 150);
    for (bool left : {false, true}) {
        (left ? icon->SetLBPopupMenu(menu) : icon->SetRBPopupMenu(menu));
        MenuProbe::Arm(left);
        Deliver(icon->IconId(), left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN);
        EXPECT_TRUE(MenuProbe::seen);
        EXPECT_EQ(p.x, MenuProbe::rect.left);
        EXPECT_EQ(p.y, MenuProbe::rect.top);
    }
    EXPECT_EQ(2, popups);
    EXPECT_EQ(1, chosen);  // the left run chose the first item
    EXPECT_TRUE(log.lines.empty());
}

TEST(TrayMenu, WithoutAutoPopupTheButtonDownIsAnEvent) {
    TForm form(nullptr);
    auto* icon = new TTrayIcon_(&form);
    auto* menu = new TPopupMenu(&form);
    icon->SetLBPopupMenu(menu);
    icon->SetRBPopupMenu(menu);
    icon->SetAutoPopup(false);
    EventLog log(*icon);
    int popups = 0;
    menu->OnPopup = [&](TObject*) { ++popups; };
    Deliver(icon->IconId(), WM_RBUTTONDOWN);
    Deliver(icon->IconId(), WM_LBUTTONDOWN);
    ASSERT_EQ(2u, log.lines.size());
    EXPECT_EQ("down 1 16", log.lines[0].substr(0, 9));
    EXPECT_EQ("down 0 8", log.lines[1].substr(0, 8));
    EXPECT_EQ(0, popups);
}

// ---- active form ----------------------------------------------------------------------------

TEST(TrayCallback, ButtonUpBringsTheActiveFormForwardWhenAsked) {
    TForm form(nullptr);
    form.Show();
    SetForegroundWindow(form.Handle());
    ASSERT_TRUE(PumpUntil([&] { return Application().ActiveForm() == &form; }, 3000));
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 300, 300, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    TTrayIcon_ icon(nullptr);
    std::vector<HWND> foreground;
    icon.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { foreground.push_back(GetForegroundWindow()); };
    for (bool active : {true, false}) {
        icon.SetFormActiveByMouseup(active);
        for (LPARAM up : {0x202, 0x205, 0x208}) {
            SetForegroundWindow(other);
            ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == other; }, 3000));
            Deliver(icon.IconId(), up);
        }
    }
    DestroyWindow(other);
    const HWND f = form.Handle();
    EXPECT_EQ((std::vector<HWND>{f, f, f, other, other, other}), foreground);
}

// ---- the notification area made anew --------------------------------------------------------

void BroadcastTaskbarCreated() {
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ts::PumpMessages(200);
}

TEST(TrayRestart, VisibleIconsAreAddedAgain) {
    ts::ShellRecorder shell;
    TTrayIcon_ shown(nullptr), hidden(nullptr), never(nullptr);
    ShowWithIcon(shown);
    ShowWithIcon(hidden);
    hidden.SetVisible(false);
    shell.calls.clear();
    BroadcastTaskbarCreated();
    ASSERT_EQ("ADD", shell.Sequence());
    EXPECT_EQ(UINT(shown.IconId()), shell.calls[0].uID);
    EXPECT_TRUE(shown.Added());
    EXPECT_FALSE(hidden.Added() || never.Added());
    hidden.SetVisible(true);
    EXPECT_EQ("ADD ADD", shell.Sequence());
}

TEST(TrayRestart, AnIconTheShellStillHasIsKeptAndOtherFailuresAreReported) {
    ts::ShellRecorder shell;
    TTrayIcon_ icon(nullptr);
    ShowWithIcon(icon);
    std::vector<std::string> errors;
    Application().OnException = [&](const std::exception& e) { errors.push_back(e.what()); };
    shell.FailWith = [](const ts::ShellCall& c, size_t) { return c.message == NIM_ADD ? DWORD(ERROR_ACCESS_DENIED) : 0; };
    BroadcastTaskbarCreated();
    EXPECT_TRUE(icon.Added());
    EXPECT_TRUE(errors.empty());
    shell.FailWith = [](const ts::ShellCall&, size_t) { return DWORD(ERROR_ACCESS_DENIED); };
    BroadcastTaskbarCreated();
    Application().OnException = nullptr;
    EXPECT_FALSE(icon.Added());
    EXPECT_EQ(std::vector<std::string>{kCannotRegister}, errors);
    EXPECT_EQ("ADD ADD MODIFY ADD MODIFY", shell.Sequence());
}

}  // namespace
