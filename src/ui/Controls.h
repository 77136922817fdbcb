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

protected:
    // Without a parent: a hidden, unowned pop-up window; with one: a child of it.
    virtual void CreateParams(TCreateParams& params);
    // Runs the handler bound to the message, otherwise DefaultHandler.
    virtual void WndProc(TMessage& message);
    void DefaultHandler(TMessage& message);
    void BindMessage(UINT msg, TMessageHandler handler);
    void ForgetComponent(TComponent* component, TOperation operation) override;

private:
    static LRESULT CALLBACK StdWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND handle_ = nullptr;
    TWinControl* parent_ = nullptr;
    std::vector<std::pair<UINT, TMessageHandler>> handlers_;
};
