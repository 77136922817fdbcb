#include "ui/Controls.h"

#include <commctrl.h>

#include "ui/Forms.h"

namespace {
constexpr const char* kObjectProperty = "TorvaMan.Control";
bool g_hintsHeld = false;
}  // namespace

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {}

TWinControl::~TWinControl() {
    Destroying();
    // The derived parts are gone: none of their handlers may run any more.
    handlers_.clear();
    UpdateHintTool(true);
    DestroyHandle();
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.ClassName = "TWinControl";
    params.Caption = text_;
    if (parent_) {
        params.Style = WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0) | (enabled_ ? 0 : WS_DISABLED);
        params.X = Scaled(left_);
        params.Y = Scaled(top_);
        params.Width = Scaled(width_);
        params.Height = Scaled(height_);
    } else {
        params.Style = WS_POPUP;
    }
}

TWinControl* TWinControl::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<TWinControl*>(GetPropA(hwnd, kObjectProperty)) : nullptr;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (handle_ && parent_) MoveWindow(handle_, Scaled(left), Scaled(top), Scaled(width), Scaled(height), TRUE);
}

std::string TWinControl::Text() {
    if (!handle_) return text_;
    const int length = GetWindowTextLengthA(handle_);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(handle_, text.data(), length + 1)));
    return text;
}

void TWinControl::SetText(const std::string& text) {
    // The refresh sets every text on every paint: compare with the last text set rather than
    // asking the window, unless the user may have typed over it.
    if (handle_ && !textKnown_ ? Text() == text : text_ == text) {
        text_ = text;
        textKnown_ = true;
        return;
    }
    text_ = text;
    if (handle_) SetWindowTextA(handle_, text_.c_str());
}

void TWinControl::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (handle_) EnableWindow(handle_, enabled);
}

void TWinControl::SetControlVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    if (handle_ && parent_) ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
    // Shown on a parent that has its window: this control needs its own now.
    else if (visible && parent_ && parent_->HandleAllocated()) Handle();
}

void TWinControl::SetFont(HFONT font) {
    font_ = font;
    if (handle_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void TWinControl::SetHint(const std::string& hint) {
    if (hint_ == hint) return;
    hint_ = hint;
    UpdateHintTool(true);
    UpdateHintTool();
}

void TWinControl::SetShowHint(bool show) {
    if (showHint_ == show) return;
    showHint_ = show;
    UpdateHintTool(!show);
}

void TWinControl::HoldHints(bool hold) { g_hintsHeld = hold; }

void TWinControl::GiveWaitingHints() {
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* control = dynamic_cast<TWinControl*>(Components(i)); control && control->hintWaiting_)
            control->UpdateHintTool();
}

void TWinControl::UpdateHintTool(bool remove) {
    hintWaiting_ = false;
    if (!handle_ || !parent_) return;
    if (g_hintsHeld && !remove) {
        hintWaiting_ = true;
        return;
    }
    HWND tip = remove ? Application().ExistingHintWindow() : Application().HintWindow();
    if (!tip) return;
    TOOLINFOA ti{};
    // The record as the common controls of Windows 95 and NT 4.0 know it (lParam came
    // later and is not used); the later versions accept it too.
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = GetParent(handle_);
    ti.uId = reinterpret_cast<UINT_PTR>(handle_);
    if (remove || !showHint_ || hint_.empty()) {
        if (hintTool_) SendMessageA(tip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        hintTool_ = false;
        return;
    }
    if (hintTool_) return;
    ti.lpszText = const_cast<char*>(hint_.c_str());
    hintTool_ = SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
}

bool TWinControl::Reflected(TMessage&) { return false; }

HWND TWinControl::Handle() {
    if (handle_) return handle_;
    TCreateParams params;
    CreateParams(params);
    if (parent_ && !params.WndParent) {
        params.WndParent = parent_->Handle();
        if (!params.WndParent) return nullptr;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA base{};
    if (!params.BaseClass.empty()) {
        if (!GetClassInfoA(nullptr, params.BaseClass.c_str(), &base)) return nullptr;
        baseProc_ = base.lpfnWndProc;
    }
    WNDCLASSA wc{};
    if (!GetClassInfoA(instance, params.ClassName.c_str(), &wc)) {
        if (params.BaseClass.empty()) {
            wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        } else {
            wc = base;
        }
        wc.lpfnWndProc = StdWndProc;
        wc.hInstance = instance;
        wc.lpszClassName = params.ClassName.c_str();
        wc.style &= ~CS_GLOBALCLASS;
        if (!RegisterClassA(&wc)) return nullptr;
    }
    // StdWndProc records the handle at WM_NCCREATE.
    CreateWindowExA(params.ExStyle, params.ClassName.c_str(), params.Caption.c_str(), params.Style, params.X,
                    params.Y, params.Width, params.Height, params.WndParent, nullptr, instance, this);
    if (!handle_) return nullptr;
    if (parent_) {
        // Later controls lie above earlier ones, as they were laid out.
        SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (font_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        UpdateHintTool();
    }
    HandleCreated();
    return handle_;
}

void TWinControl::DestroyHandle() {
    UpdateHintTool(true);
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
    HWND concerned = nullptr;
    switch (message.Msg) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
        concerned = reinterpret_cast<HWND>(message.LParam);
        break;
    case WM_DRAWITEM:
        concerned = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam)->hwndItem;
        break;
    case WM_SETCURSOR:
        if (cursor_ && LOWORD(message.LParam) == HTCLIENT && reinterpret_cast<HWND>(message.WParam) == handle_) {
            ::SetCursor(cursor_);
            message.Result = TRUE;
            return;
        }
        break;
    }
    if (concerned && concerned != handle_) {
        if (TWinControl* control = FromHandle(concerned); control && control->Reflected(message)) return;
    }
    for (auto& h : handlers_) {
        if (h.first == message.Msg) {
            h.second(message);
            return;
        }
    }
    DefaultHandler(message);
}

void TWinControl::DefaultHandler(TMessage& message) {
    message.Result = baseProc_ ? CallWindowProcA(baseProc_, handle_, message.Msg, message.WParam, message.LParam)
                               : DefWindowProcA(handle_, message.Msg, message.WParam, message.LParam);
}

LRESULT CALLBACK TWinControl::StdWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TWinControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetPropA(hwnd, kObjectProperty, self);
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
    if (msg == WM_SETTEXT) {
        // Whoever set it, the window now shows exactly these bytes (an edit refuses what exceeds its limit).
        self->textKnown_ = message.Result != FALSE && lp;
        if (self->textKnown_) self->text_ = reinterpret_cast<const char*>(lp);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        RemovePropA(hwnd, kObjectProperty);
        self->handle_ = nullptr;
    }
    return message.Result;
}
