// The standard controls of a form: buttons, a check box, edits, panels, a group
// box and a status bar. Each is a child window; notifications the system sends
// to the parent reach the control itself (Reflected).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/Controls.h"

// A shared font of the user interface (Tahoma unless Face says otherwise), made on
// first use and kept to the end of the program. Height is the one at 96 dpi (negative: the
// character height in pixels); the font is made for this screen's scale.
HFONT UiFont(int height, bool bold = false, BYTE charset = SHIFTJIS_CHARSET, const char* face = "Tahoma");
// The hand cursor, for controls that are clicked.
HCURSOR HandCursor();

// A push button that stays down while it is the chosen one of its group:
// clicking a button of group N puts it down and the others of the group with the
// same parent up. Draws a glyph above its caption. BM_GETCHECK reports Down.
class TSpeedButton : public TWinControl {
public:
    explicit TSpeedButton(TComponent* owner);
    ~TSpeedButton() override;

    bool Down() const { return down_; }
    void SetDown(bool down);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int index) { groupIndex_ = index; }
    // A bitmap resource of Module holding NumGlyphs pictures side by side, drawn for 96 dpi,
    // and larger ones for other scales (LoadScaledBitmap); magenta is transparent. The first
    // picture is drawn.
    bool LoadGlyph(HINSTANCE module, const char* name, int numGlyphs = 1);
    // The size of a picture as drawn on this screen; 0 without one.
    int GlyphWidth() const { return glyphWidth_; }
    int GlyphHeight() const { return glyphHeight_; }
    // A click from the user or from code: the group's choice, then OnClick.
    void Click();

    TNotifyEvent OnClick;

protected:
    void CreateParams(TCreateParams& params) override;
    bool Reflected(TMessage& message) override;

private:
    void Draw(const DRAWITEMSTRUCT& item);
    bool down_ = false;
    int groupIndex_ = 0;
    HIMAGELIST glyph_ = nullptr;
    int glyphWidth_ = 0, glyphHeight_ = 0;
};

// A check box; changing its state, from code as by the user, raises OnClick.
class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* owner);

    bool Checked() const;
    void SetChecked(bool checked);
    bool TabStop = true;

    TNotifyEvent OnClick;

protected:
    void CreateParams(TCreateParams& params) override;
    bool Reflected(TMessage& message) override;
    void HandleCreated() override;

private:
    bool checked_ = false;
};

// A push button; Default makes it the button that the Enter key presses.
class TBitBtn : public TWinControl {
public:
    explicit TBitBtn(TComponent* owner);
    bool Default = false;
    void Click();

    TNotifyEvent OnClick;

protected:
    void CreateParams(TCreateParams& params) override;
    bool Reflected(TMessage& message) override;
};

// A one-line edit.
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) override;
    bool Reflected(TMessage& message) override;
};

// A flat panel with a lowered inner bevel and left-aligned text in FontColor.
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner);
    COLORREF FontColor = RGB(0, 0, 0);

protected:
    void CreateParams(TCreateParams& params) override;

private:
    void Paint();
};

// A frame with a caption that holds other controls.
class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) override;

private:
    void Paint();
};

// A status bar at the bottom of its parent with one panel that reaches its right edge.
class TStatusBar : public TWinControl {
public:
    explicit TStatusBar(TComponent* owner);
    std::string PanelText() const { return panelText_; }
    // Setting the text it already has does nothing on screen.
    void SetPanelText(const std::string& text);
    int PanelWidth = 50;

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;

private:
    std::string panelText_;
};
