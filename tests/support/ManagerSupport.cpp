#include "support/ManagerSupport.h"

#include <commctrl.h>

#include "environment/Profile.h"
#include "environment/StrUtils.h"
#include "excel/ExcelLocation.h"

namespace ts {

ScopedFolder::ScopedFolder(std::string path) : path_(std::move(path)) {
    const DWORD a = GetFileAttributesA(path_.c_str());
    existed_ = a != INVALID_FILE_ATTRIBUTES;
}

ScopedFolder::~ScopedFolder() {
    if (!existed_) RemoveTree(path_);
}

std::string UserXlStartFolderPath() { return UserXlStartFolder(GetAppDataFolder(), GetWindowsFolder()); }

namespace {
std::string FolderAbove(const std::string& path) {
    const std::string folder = StripTrailingBackslash(path);
    return folder.substr(0, folder.find_last_of('\\'));
}
}  // namespace

ScopedUserXlStart::ScopedUserXlStart() : path_(UserXlStartFolderPath()) {
    const std::string excel = FolderAbove(path_), microsoft = FolderAbove(excel);
    for (const std::string& folder : {microsoft, excel, path_}) scopes_.push_back(std::make_unique<ScopedFolder>(folder));
}

std::string ScopedUserXlStart::Path() const { return AddTrailingBackslash(path_); }

ManagerControls::ManagerControls(HWND f) : form(f) {
    groupBox = FindWindowExA(form, nullptr, "TGroupBox", nullptr);
    enableBtn = FindWindowExA(groupBox, nullptr, "TSpeedButton", "アドイン登録");
    unEnableBtn = FindWindowExA(groupBox, nullptr, "TSpeedButton", "アドイン解除");
    expChk = FindWindowExA(groupBox, nullptr, "TCheckBox", nullptr);
    panel2 = FindWindowExA(groupBox, nullptr, "TPanel", nullptr);
    panel1 = FindWindowExA(form, nullptr, "TPanel", nullptr);
    okBtn = FindWindowExA(form, nullptr, "TBitBtn", "上記設定を有効にする");
    closeBtn = FindWindowExA(form, nullptr, "TBitBtn", "閉じる(&C)");
    helpBtn = FindWindowExA(form, nullptr, "TSpeedButton", nullptr);
    statusBar = FindWindowExA(form, nullptr, "TStatusBar", nullptr);
    callbackWindow = FindWindowExA(form, nullptr, "TCallbackWindow", nullptr);
}

bool ManagerControls::Down(HWND button) const {
    DWORD_PTR r = 0;
    SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
    return r == BST_CHECKED;
}

bool ManagerControls::Checked() const { return Down(expChk); }

ManagerProcess::ManagerProcess(const std::string& name) : path_(dir_ / name) {
    CopyFileA(ProgramPath().c_str(), path_.c_str(), FALSE);
}

bool ManagerProcess::Start() {
    if (!child_.Start(Quoted(path_))) return false;
    window_ = WaitForProcessWindow(child_.Pid(), "TManagerForm", 15000);
    if (!window_) return false;
    // The first refresh replaces the status bar's design text.
    if (!WaitUntil([&] { return Controls().Status() != "Torva-X Developers"; }, 10000)) return false;
    // Let it finish, and let the paints that other windows going away cause
    // (each one refreshes and resets a choice) come before the test chooses anything.
    WaitForInputIdle(child_.Handle(), 5000);
    Sleep(300);
    WaitForInputIdle(child_.Handle(), 5000);
    return true;
}

void ManagerProcess::Press(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

int ManagerProcess::Close() {
    if (!child_.Running()) return child_.Wait(0);
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    return child_.Wait(15000);
}

}  // namespace ts
