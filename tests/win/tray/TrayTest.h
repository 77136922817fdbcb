// Shared by the tray test files.
#pragma once
#include <gtest/gtest.h>

#include <functional>

#include "support/TestSupport.h"
#include "support/TraySupport.h"
#include "tray/TrayIcon_.h"
#include "ui/Forms.h"

// Lets a test pretend another shell version.
class TestTrayIcon : public TTrayIcon_ {
public:
    using TTrayIcon_::TTrayIcon_;
    using TTrayIcon_::SetShellMajor;
};

inline const char* const kCannotRegister = "タスクトレイにアイコンを登録できません。";

// Runs this thread's messages until Done() holds or TimeoutMs passed; Done() at the end.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < timeoutMs) ts::PumpMessages(10);
    return done();
}

// Moves the pointer and waits until the system reports it there (Wine moves it asynchronously).
inline POINT MoveCursor(int x, int y) {
    SetCursorPos(x, y);
    POINT p{};
    PumpUntil([&] { return GetCursorPos(&p) && p.x == x && p.y == y; }, 3000);
    return p;
}

// A visible icon with its own image (the shell is whatever is installed at the time).
inline void ShowWithIcon(TTrayIcon_& icon) {
    icon.Icon().SetHandle(ts::MakeTestIcon());
    icon.SetVisible(true);
}
