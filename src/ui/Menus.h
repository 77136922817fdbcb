// Popup menus: items with captions and click handlers, shown at a screen point.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/Classes.h"

class TMenuItem : public TObject {
public:
    const std::string& Caption() const { return caption_; }
    UINT Command() const { return command_; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Raises OnClick (the sender is the item).
    void Click();

    TNotifyEvent OnClick;

private:
    friend class TPopupMenu;
    TMenuItem(HMENU menu, UINT command, std::string caption) : menu_(menu), command_(command), caption_(std::move(caption)) {}
    HMENU menu_;
    UINT command_;
    std::string caption_;
    bool enabled_ = true;
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    HMENU Handle() const { return menu_; }
    // Appends an item; the caption "-" makes a separator line.
    TMenuItem* Add(const std::string& caption, TNotifyEvent onClick = nullptr);
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const { return items_[index].get(); }

    // Raises OnPopup, shows the menu with its top-left corner at the screen
    // point (x, y), and returns after it closes; a chosen item raises its OnClick.
    void Popup(int x, int y);

    TNotifyEvent OnPopup;

private:
    HMENU menu_;
    std::vector<std::unique_ptr<TMenuItem>> items_;
};
