#include "ui/Menus.h"

#include "ui/Controls.h"

namespace {
// The window that owns every menu while it is shown (a hidden top-level window of the thread).
TWinControl& MenuWindow() {
    static TWinControl window(nullptr);
    return window;
}
}  // namespace

void TMenuItem::SetEnabled(bool enabled) {
    enabled_ = enabled;
    EnableMenuItem(menu_, command_, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void TMenuItem::Click() {
    if (OnClick) OnClick(this);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), menu_(CreatePopupMenu()) {}

TPopupMenu::~TPopupMenu() {
    Destroying();
    if (menu_) DestroyMenu(menu_);
}

TMenuItem* TPopupMenu::Add(const std::string& caption, TNotifyEvent onClick) {
    const UINT command = static_cast<UINT>(items_.size()) + 1;
    if (caption == "-") {
        AppendMenuA(menu_, MF_SEPARATOR, command, nullptr);
    } else {
        AppendMenuA(menu_, MF_STRING, command, caption.c_str());
    }
    items_.emplace_back(new TMenuItem(menu_, command, caption));
    items_.back()->OnClick = std::move(onClick);
    return items_.back().get();
}

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    HWND owner = MenuWindow().Handle();
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(menu_, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x, y, 0, owner, nullptr));
    // Without this message a menu opened from the notification area may not close on the next click.
    PostMessageA(owner, WM_NULL, 0, 0);
    if (command == 0) return;
    for (auto& item : items_) {
        if (item->command_ == command && item->enabled_) {
            item->Click();
            return;
        }
    }
}
