#include "ui/Forms.h"

#include "environment/Profile.h"
#include "environment/StrUtils.h"

TForm::TForm(TComponent* owner) : TWinControl(owner) {
    icon_.OnChange = [this](TObject*) { IconChanged(); };
    BindMessage(WM_ACTIVATE, [this](TMessage& m) {
        if (LOWORD(m.WParam) != WA_INACTIVE) Application().activeForm_ = this;
        DefaultHandler(m);
    });
}

TForm::~TForm() {
    Destroying();
    DestroyHandle();
    if (Application().activeForm_ == this) Application().activeForm_ = nullptr;
}

void TForm::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ClassName = "TForm";
    params.Caption = caption_;
    params.Style = WS_OVERLAPPEDWINDOW;
    params.X = params.Y = params.Width = params.Height = CW_USEDEFAULT;
}

void TForm::SetCaption(const std::string& caption) {
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
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Handle()));
}

TApplication::TApplication() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (HICON icon = LoadIconA(instance, "MAINICON")) icon_.SetHandle(CopyIcon(icon));
    char path[MAX_PATH] = {};
    GetModuleFileNameA(instance, path, MAX_PATH);
    Title = ExtractFileName(path);
    const size_t dot = Title.rfind('.');
    if (dot != std::string::npos) Title.erase(dot);
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void TApplication::HandleException(const std::exception& e) {
    if (OnException) {
        OnException(e);
        return;
    }
    ShowMessageBox(nullptr, e.what(), MB_OK | MB_ICONERROR, Title);
}

TApplication& Application() {
    static TApplication application;
    return application;
}
