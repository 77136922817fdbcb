#include "help/HelpDisplay.h"

#include <htmlhelp.h>

#include "environment/Handles.h"
#include "help/HelpFunc_Torva.h"

namespace {

using HtmlHelpAProc = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

// HTML Help is an optional part of older Windows, so it is bound at run time; without it the
// help button does nothing. The library stays loaded while the process runs, because the help
// windows it opens live in this process; at the end they are closed before it is released.
class HtmlHelpLibrary {
public:
    HtmlHelpLibrary() {
        // From the system folder only: a copy planted in the current folder is never loaded.
        char dir[MAX_PATH];
        const UINT n = GetSystemDirectoryA(dir, sizeof dir);
        if (n == 0 || n >= sizeof dir) return;
        const std::string path = std::string(dir, n) + (dir[n - 1] == '\\' ? "" : "\\") + "hhctrl.ocx";
        module_.reset(LoadLibraryA(path.c_str()));
        proc_ = LookupProc<HtmlHelpAProc>(module_.get(), "HtmlHelpA");
    }
    ~HtmlHelpLibrary() {
        if (proc_) proc_(nullptr, nullptr, HH_CLOSE_ALL, 0);
    }
    HtmlHelpLibrary(const HtmlHelpLibrary&) = delete;
    HtmlHelpLibrary& operator=(const HtmlHelpLibrary&) = delete;

    HtmlHelpAProc proc() const { return proc_; }

private:
    UniqueModule module_;
    HtmlHelpAProc proc_ = nullptr;
};

const HtmlHelpLibrary& Library() {
    static const HtmlHelpLibrary library;  // loaded at the first press of a help button
    return library;
}

HtmlHelpFunction& Replacement() {
    static HtmlHelpFunction fn;
    return fn;
}

}  // namespace

bool HtmlHelpAvailable() { return Library().proc() != nullptr; }

void SetHtmlHelpFunction(HtmlHelpFunction fn) { Replacement() = std::move(fn); }

HWND ShowHelpTopic(HWND caller, const std::string& helpFile, const std::string& keyword, UINT command,
                   const std::string& group) {
    // HTML Help reads the context as a 32-bit value; a negative number keeps its bit pattern.
    const DWORD_PTR data = static_cast<DWORD>(HelpContextOf(keyword, group));
    if (Replacement()) return Replacement()(caller, helpFile.c_str(), command, data);
    const HtmlHelpAProc proc = Library().proc();
    return proc ? proc(caller, helpFile.c_str(), command, data) : nullptr;
}

void ShowManagerHelp(const std::string& helpFolder) {
    ShowHelpTopic(nullptr, ManagerHelpFilePath(helpFolder), "TorvaManager", HH_HELP_CONTEXT, "TORVA");
}
