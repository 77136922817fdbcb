#include "ui/Controls.h"

#include "ui/Forms.h"

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {}

TWinControl::~TWinControl() {
    Destroying();
    // The derived parts are gone: none of their handlers may run any more.
    handlers_.clear();
    DestroyHandle();
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.ClassName = "TWinControl";
    if (parent_) {
        params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    } else {
        params.Style = WS_POPUP;
    }
}

HWND TWinControl::Handle() {
    if (handle_) return handle_;
    TCreateParams params;
    CreateParams(params);
    if (parent_ && !params.WndParent) {
        params.WndParent = parent_->Handle();
        if (!params.WndParent) return nullptr;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (!GetClassInfoA(instance, params.ClassName.c_str(), &wc)) {
        wc.lpfnWndProc = StdWndProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = params.ClassName.c_str();
        if (!RegisterClassA(&wc)) return nullptr;
    }
    // StdWndProc records the handle at WM_NCCREATE.
    CreateWindowExA(params.ExStyle, params.ClassName.c_str(), params.Caption.c_str(), params.Style, params.X,
                    params.Y, params.Width, params.Height, params.WndParent, nullptr, instance, this);
    return handle_;
}

void TWinControl::DestroyHandle() {
    if (handle_) DestroyWindow(handle_);  // WM_NCDESTROY clears handle_
    handle_ = nullptr;
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == parent_ || parent == this) return;
    if (parent_) RemoveFreeNotification(parent_);
    parent_ = parent;
    if (parent_) FreeNotification(parent_);
    if (handle_) {
        HWND newParent = parent_ ? parent_->Handle() : nullptr;
        ::SetParent(handle_, newParent);
    }
}

void TWinControl::ForgetComponent(TComponent* component, TOperation operation) {
    TComponent::ForgetComponent(component, operation);
    // The window itself goes down with the parent's.
    if (operation == TOperation::opRemove && component == parent_) parent_ = nullptr;
}

void TWinControl::BindMessage(UINT msg, TMessageHandler handler) {
    for (auto& h : handlers_) {
        if (h.first == msg) {
            h.second = std::move(handler);
            return;
        }
    }
    handlers_.emplace_back(msg, std::move(handler));
}

void TWinControl::WndProc(TMessage& message) {
    for (auto& h : handlers_) {
        if (h.first == message.Msg) {
            h.second(message);
            return;
        }
    }
    DefaultHandler(message);
}

void TWinControl::DefaultHandler(TMessage& message) {
    message.Result = DefWindowProcA(handle_, message.Msg, message.WParam, message.LParam);
}

LRESULT CALLBACK TWinControl::StdWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TWinControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->handle_ = hwnd;
    }
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    TMessage message{msg, wp, lp, 0};
    try {
        self->WndProc(message);
    } catch (const std::exception& e) {
        // Exceptions must not unwind through the system's dispatch frames.
        Application().HandleException(e);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->handle_ = nullptr;
    }
    return message.Result;
}
