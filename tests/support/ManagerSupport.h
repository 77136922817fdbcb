// Driving the manager window: a running copy of the program found by its window,
// and the controls of that window found by class and text.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace ts {

// The state panels' texts.
inline constexpr const char* kRegisteredText = "　　現在Torvaはアドイン登録されてます。";
inline constexpr const char* kRemovedText = "　　現在Torvaはアドイン解除されてます。";
inline constexpr const char* kAssociatedText = "　　現在関連付けがされています。";
inline constexpr const char* kNotAssociatedText = "　　現在関連付けはされていません。";

// A folder that is removed at the end unless it existed at the start.
class ScopedFolder {
public:
    explicit ScopedFolder(std::string path);
    ~ScopedFolder();
    ScopedFolder(const ScopedFolder&) = delete;
    ScopedFolder& operator=(const ScopedFolder&) = delete;

private:
    std::string path_;
    bool existed_;
};

// The per-user start-up folder that editions from Excel 9 on use (it may not exist).
std::string UserXlStartFolderPath();

// That folder and the folders above it up to the application-data folder, each removed at the end
// unless it was there.
class ScopedUserXlStart {
public:
    ScopedUserXlStart();
    std::string Path() const;  // with a trailing backslash

private:
    std::string path_;
    std::vector<std::unique_ptr<ScopedFolder>> scopes_;
};

// The controls of a manager window (of this or another process).
struct ManagerControls {
    explicit ManagerControls(HWND form);
    HWND form, groupBox, enableBtn, unEnableBtn, expChk, panel1, panel2, okBtn, closeBtn, helpBtn, statusBar,
        callbackWindow;
    std::string Panel1() const { return WindowText(panel1); }
    std::string Panel2() const { return WindowText(panel2); }
    std::string Status() const { return WindowText(statusBar); }
    bool Down(HWND button) const;
    bool Checked() const;
    bool Enabled(HWND control) const { return IsWindowEnabled(control) != FALSE; }
};

// A copy of the program under Name in a folder of its own, started without arguments.
class ManagerProcess {
public:
    explicit ManagerProcess(const std::string& name = "TorvaMan.exe");
    // Starts it and waits for its window and its first refresh; false when none came.
    bool Start();
    HWND Window() const { return window_; }
    ManagerControls Controls() const { return ManagerControls(window_); }
    Child& Process() { return child_; }
    DWORD Pid() const { return child_.Pid(); }
    // Waits until Fn holds (polling); false after TimeoutMs.
    template <class Fn>
    static bool WaitUntil(Fn fn, DWORD timeoutMs = 10000) {
        const DWORD end = GetTickCount() + timeoutMs;
        for (;;) {
            if (fn()) return true;
            if (static_cast<int>(end - GetTickCount()) <= 0) return false;
            Sleep(20);
        }
    }
    // Presses a button of the window from outside (the press is posted, so the
    // message boxes it raises can be answered from here).
    static void Press(HWND button);
    // Closes the window and waits for the exit code.
    int Close();

private:
    TempDir dir_;
    std::string path_;
    Child child_;
    HWND window_ = nullptr;
};

}  // namespace ts
