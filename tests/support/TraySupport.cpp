#include "support/TraySupport.h"

#include "tray/TrayIcon_.h"

namespace ts {
namespace {
ShellRecorder* active = nullptr;
}

ShellRecorder::ShellRecorder(bool passThrough) : passThrough_(passThrough) {
    active = this;
    SetShellNotifyFunction(Hook);
}

ShellRecorder::~ShellRecorder() {
    SetShellNotifyFunction(nullptr);
    active = nullptr;
}

BOOL ShellRecorder::Hook(DWORD message, NOTIFYICONDATAA* d) {
    ShellRecorder& r = *active;
    r.calls.push_back({message, d->cbSize, d->hWnd, d->uID, d->uFlags, d->uCallbackMessage, d->hIcon, d->szTip,
                       d->szInfo, d->szInfoTitle, d->dwState, d->dwStateMask, d->uTimeout, d->dwInfoFlags});
    if (r.FailWith) {
        if (DWORD error = r.FailWith(r.calls.back(), r.calls.size() - 1)) {
            SetLastError(error);
            return FALSE;
        }
    }
    return r.passThrough_ ? Shell_NotifyIconA(message, d) : TRUE;
}

int ShellRecorder::Count(DWORD message) const {
    int n = 0;
    for (const ShellCall& c : calls) n += c.message == message;
    return n;
}

std::string ShellRecorder::Sequence() const {
    static const char* names[] = {"ADD", "MODIFY", "DELETE"};
    std::string s;
    for (const ShellCall& c : calls) {
        if (!s.empty()) s += ' ';
        s += c.message < 3 ? names[c.message] : "?";
    }
    return s;
}

HICON MakeTestIcon() { return CopyIcon(LoadIcon(nullptr, IDI_APPLICATION)); }

}  // namespace ts
