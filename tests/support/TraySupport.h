// Records the tray component's calls to the notification area and fails chosen ones.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

namespace ts {

struct ShellCall {
    DWORD message;
    DWORD cbSize;
    HWND hWnd;
    UINT uID, uFlags, uCallbackMessage;
    HICON hIcon;
    std::string tip, info, infoTitle;
    DWORD state, stateMask, timeout, infoFlags;
};

// Installed while it lives (one at a time). Without FailWith every call succeeds;
// FailWith returns the error code a call fails with, 0 to let it succeed.
// PassThrough hands the calls that are not failed to the real shell.
class ShellRecorder {
public:
    explicit ShellRecorder(bool passThrough = false);
    ~ShellRecorder();
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    std::vector<ShellCall> calls;
    std::function<DWORD(const ShellCall& call, size_t index)> FailWith;
    int Count(DWORD message) const;
    // The messages in order, e.g. "ADD MODIFY DELETE".
    std::string Sequence() const;

private:
    static BOOL Hook(DWORD message, NOTIFYICONDATAA* data);
    bool passThrough_;
};

// A new 16 x 16 icon that the caller owns.
HICON MakeTestIcon();

}  // namespace ts
