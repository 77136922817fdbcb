// Forms and the application object.
#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "ui/Controls.h"
#include "ui/Graphics.h"

// A top-level window with a caption and an icon; the application follows
// which form was activated last.
class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    TIcon& Icon() { return icon_; }
    // The form's own icon; none when it has no image.
    HICON IconHandle() const { return icon_.Handle(); }
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);

    void Show();
    void Hide();
    bool Visible();
    // Asks the form to close: the main form ends the application's message loop
    // once control is back there; other forms are destroyed.
    void Close();

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;

private:
    void IconChanged();
    TIcon icon_;
    std::string caption_;
};

class TApplication {
public:
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // The program's icon (resource "MAINICON" when the executable has one).
    TIcon& Icon() { return icon_; }
    HICON IconHandle() const { return icon_.Handle(); }

    // The form that was activated last; none when none was or it is gone.
    TForm* ActiveForm() const { return activeForm_; }

    // Makes the hidden owner window (the owner of every message box). The common controls
    // are loaded with the application; COM is initialised at its first use (EnsureCom).
    void Initialize();
    HWND Handle() const;

    // The form whose closing ends Run.
    TForm* MainForm() const { return mainForm_; }
    void SetMainForm(TForm* form) { mainForm_ = form; }
    // Run shows the main form first unless told not to.
    bool ShowMainForm = true;

    // Dispatches messages until the main form closes (or Terminate is called).
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Another main form may run after the first one ended (tests run several).
    void ClearTerminated() { terminated_ = false; minimized_ = false; }
    // Dispatches every message waiting for this thread, then returns.
    void ProcessMessages();

    // The main form was minimised: it is hidden, then OnMinimize runs.
    void Minimize();
    // Undoes Minimize; the caller shows the form again.
    void Restore();
    bool Minimized() const { return minimized_; }
    TNotifyEvent OnMinimize;

    // The title (also the hidden window's text); setting the same text does nothing.
    void SetTitle(const std::string& title);

    // The tooltip window shared by every control (made on first use), and the time
    // a shown hint stays, in milliseconds.
    HWND HintWindow();
    HWND ExistingHintWindow() const { return hintWindow_; }
    int HintHidePause() const { return hintHidePause_; }
    void SetHintHidePause(int ms);

    // An exception that reached the message dispatch: OnException when
    // assigned, otherwise a message box with its text.
    void HandleException(const std::exception& e);
    std::function<void(const std::exception& e)> OnException;

    // Caption of the application's message boxes; the executable's base name at first.
    std::string Title;

private:
    friend class TForm;
    // One message through the dialog keys of the active form, then the window.
    void Dispatch(MSG& msg);
    TIcon icon_;
    TForm* activeForm_ = nullptr;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false, minimized_ = false;
    HWND hintWindow_ = nullptr;
    int hintHidePause_ = 2500;
};

TApplication& Application();
