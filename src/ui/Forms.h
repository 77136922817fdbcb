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

protected:
    void CreateParams(TCreateParams& params) override;

private:
    void IconChanged();
    TIcon icon_;
    std::string caption_;
};

class TApplication {
public:
    TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // The program's icon (resource "MAINICON" when the executable has one).
    TIcon& Icon() { return icon_; }
    HICON IconHandle() const { return icon_.Handle(); }

    // The form that was activated last; none when none was or it is gone.
    TForm* ActiveForm() const { return activeForm_; }

    // Dispatches every message waiting for this thread, then returns.
    void ProcessMessages();

    // An exception that reached the message dispatch: OnException when
    // assigned, otherwise a message box with its text.
    void HandleException(const std::exception& e);
    std::function<void(const std::exception& e)> OnException;

    // Caption of the application's message boxes; the executable's base name at first.
    std::string Title;

private:
    friend class TForm;
    TIcon icon_;
    TForm* activeForm_ = nullptr;
};

TApplication& Application();
