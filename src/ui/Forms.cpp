#include "ui/Forms.h"

#include <commctrl.h>

#include "environment/Profile.h"
#include "environment/StrUtils.h"
#include "ui/AppHandle.h"
#include "ui/CommonControls.h"

TForm::TForm(TComponent* owner) : TWinControl(owner) {
    icon_.OnChange = [this](TObject*) { IconChanged(); };
    BindMessage(WM_ACTIVATE, [this](TMessage& m) {
        if (LOWORD(m.WParam) != WA_INACTIVE) Application().activeForm_ = this;
        DefaultHandler(m);
    });
    BindMessage(WM_CLOSE, [this](TMessage& m) {
        if (Application().MainForm() == this)
            Close();
        else
            DefaultHandler(m);
    });
    BindMessage(WM_SYSCOMMAND, [this](TMessage& m) {
        if ((m.WParam & 0xFFF0) == SC_MINIMIZE && Application().MainForm() == this)
            Application().Minimize();
        else
            DefaultHandler(m);
    });
}

TForm::~TForm() {
    Destroying();
    DestroyHandle();
    if (Application().activeForm_ == this) Application().activeForm_ = nullptr;
    if (Application().mainForm_ == this) Application().mainForm_ = nullptr;
}

void TForm::Close() {
    if (Application().MainForm() == this) {
        Hide();
        Application().Terminate();
    } else {
        DestroyHandle();
    }
}

void TForm::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ClassName = "TForm";
    params.Caption = caption_;
    params.Style = WS_OVERLAPPEDWINDOW;
    params.X = params.Y = params.Width = params.Height = CW_USEDEFAULT;
}

void TForm::SetCaption(const std::string& caption) {
    if (caption_ == caption) return;
    caption_ = caption;
    if (HandleAllocated()) SetWindowTextA(Handle(), caption_.c_str());
}

void TForm::Show() {
    if (HWND h = Handle()) ShowWindow(h, SW_SHOW);
}

void TForm::Hide() {
    if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
}

bool TForm::Visible() { return HandleAllocated() && IsWindowVisible(Handle()); }

void TForm::IconChanged() {
    if (!HandleAllocated()) return;
    const LPARAM icon = reinterpret_cast<LPARAM>(icon_.Handle());
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, icon);
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, icon);
}

// An icon given before the window existed takes effect when it is made.
void TForm::HandleCreated() { IconChanged(); }

TApplication::TApplication() {
    // Loaded first, so that it is released only after the application's hint window is gone.
    CommonControls();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (HICON icon = LoadIconA(instance, "MAINICON")) icon_.SetHandle(CopyIcon(icon));
    char path[MAX_PATH] = {};
    GetModuleFileNameA(instance, path, MAX_PATH);
    Title = ExtractFileName(path);
    const size_t dot = Title.rfind('.');
    if (dot != std::string::npos) Title.erase(dot);
}

void TApplication::Initialize() {
    SetApplicationHandle(EnsureApplicationHandle());
    SetWindowTextA(Handle(), Title.c_str());
}

TApplication::~TApplication() {
    if (hintWindow_) DestroyWindow(hintWindow_);
}

HWND TApplication::Handle() const { return ApplicationHandle(); }

void TApplication::Dispatch(MSG& msg) {
    if (activeForm_ && activeForm_->HandleAllocated() && IsDialogMessageA(activeForm_->Handle(), &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

void TApplication::Run() {
    if (ShowMainForm && mainForm_) mainForm_->Show();
    MSG msg;
    while (!terminated_) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        Dispatch(msg);
    }
    terminated_ = true;
}

void TApplication::Terminate() {
    if (terminated_) return;
    terminated_ = true;
    PostQuitMessage(0);
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            break;
        }
        Dispatch(msg);
    }
}

void TApplication::Minimize() {
    if (mainForm_) mainForm_->Hide();
    minimized_ = true;
    if (OnMinimize) OnMinimize(nullptr);
}

void TApplication::Restore() { minimized_ = false; }

void TApplication::SetTitle(const std::string& title) {
    if (Title == title) return;
    Title = title;
    if (HWND h = Handle()) SetWindowTextA(h, Title.c_str());
}

HWND TApplication::HintWindow() {
    if (hintWindow_) return hintWindow_;
    hintWindow_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (hintWindow_) SendMessageA(hintWindow_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(hintHidePause_, 0));
    return hintWindow_;
}

void TApplication::SetHintHidePause(int ms) {
    if (hintHidePause_ == ms) return;
    hintHidePause_ = ms;
    if (hintWindow_) SendMessageA(hintWindow_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(ms, 0));
}

void TApplication::HandleException(const std::exception& e) {
    if (OnException) {
        OnException(e);
        return;
    }
    ShowMessageBox(Handle(), e.what(), MB_OK | MB_ICONERROR, Title);
}

TApplication& Application() {
    static TApplication application;
    return application;
}
