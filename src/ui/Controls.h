// Windowed controls: a component with a window handle made on demand and a
// message dispatch that binds message numbers to handlers.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "ui/Classes.h"

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};
using TMessageHandler = std::function<void(TMessage& message)>;

struct TCreateParams {
    std::string ClassName;  // registered on first use
    // A system class (e.g. "BUTTON") that ClassName extends; its window procedure
    // becomes the default handler.
    std::string BaseClass;
    std::string Caption;
    DWORD Style = 0, ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
};

class TWinControl : public TComponent {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    // The window, created on first use (with its parent's); none when creation fails.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void DestroyHandle();

    // The parent control whose window holds this one; none makes a top-level window.
    TWinControl* Parent() const { return parent_; }
    void SetParent(TWinControl* parent);

    // The object behind a window made by this framework; none for other windows.
    static TWinControl* FromHandle(HWND hwnd);

    // Place relative to the parent's client area (used when the window is made), in pixels of a
    // 96-dpi screen: the window is made at this screen's scale. The four read back as given.
    void SetBounds(int left, int top, int width, int height);
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // The window text; setting the text it already has does nothing on screen.
    std::string Text();
    void SetText(const std::string& text);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Whether the control is shown (for child controls; forms show themselves).
    bool ControlVisible() const { return visible_; }
    void SetControlVisible(bool visible);
    HFONT Font() const { return font_; }
    void SetFont(HFONT font);  // not owned
    // The cursor over the control; none for the class's arrow.
    HCURSOR Cursor() const { return cursor_; }
    void SetCursor(HCURSOR cursor) { cursor_ = cursor; }
    // The tooltip text, shown only while ShowHint is on.
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);
    // While held, hints wait instead of joining the hint window (which is then not made yet).
    // A window holds them until it has painted, then gives those of its controls to it.
    static void HoldHints(bool hold);
    void GiveWaitingHints();

protected:
    // Without a parent: a hidden, unowned pop-up window; with one: a child of it.
    virtual void CreateParams(TCreateParams& params);
    // Runs the handler bound to the message, otherwise DefaultHandler.
    virtual void WndProc(TMessage& message);
    void DefaultHandler(TMessage& message);
    void BindMessage(UINT msg, TMessageHandler handler);
    void ForgetComponent(TComponent* component, TOperation operation) override;
    // Notifications that the system sends to the parent (WM_COMMAND, WM_DRAWITEM,
    // WM_CTLCOLOR...) are offered to the control they concern first; true when handled.
    virtual bool Reflected(TMessage& message);
    // Runs once the window exists.
    virtual void HandleCreated() {}
    // The window's text may differ from the last one set (the user typed).
    void ForgetText() { textKnown_ = false; }

private:
    static LRESULT CALLBACK StdWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void UpdateHintTool(bool remove = false);

    HWND handle_ = nullptr;
    WNDPROC baseProc_ = nullptr;
    TWinControl* parent_ = nullptr;
    std::vector<std::pair<UINT, TMessageHandler>> handlers_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::string text_;
    // Whether text_ is the window's text; only the user typing into an edit makes it stale.
    bool textKnown_ = true;
    bool enabled_ = true, visible_ = false;
    HFONT font_ = nullptr;
    HCURSOR cursor_ = nullptr;
    std::string hint_;
    bool showHint_ = false, hintTool_ = false, hintWaiting_ = false;
};
