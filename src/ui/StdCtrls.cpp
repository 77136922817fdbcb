#include "ui/StdCtrls.h"

#include "ui/CommonControls.h"
#include "ui/Graphics.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct FontEntry {
    int height;
    bool bold;
    BYTE charset;
    std::string face;
    HFONT font;
};

struct FontCache {
    std::vector<FontEntry> fonts;
    ~FontCache() {
        for (auto& f : fonts) DeleteObject(f.font);
    }
};

FontCache& Fonts() {
    static FontCache cache;
    return cache;
}

std::vector<TSpeedButton*>& SpeedButtons() {
    static std::vector<TSpeedButton*> buttons;
    return buttons;
}

bool IsClick(const TMessage& m) { return m.Msg == WM_COMMAND && HIWORD(m.WParam) == BN_CLICKED; }

}  // namespace

HFONT UiFont(int height, bool bold, BYTE charset, const char* face) {
    for (auto& f : Fonts().fonts)
        if (f.height == height && f.bold == bold && f.charset == charset && f.face == face) return f.font;
    HFONT font = CreateFontA(Scaled(height), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, charset,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
    if (font) Fonts().fonts.push_back({height, bold, charset, face, font});
    return font;
}

HCURSOR HandCursor() {
    // A shared system cursor: loaded once, never freed; every refresh asks for it.
    static const HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
    return hand;
}

// ---------------------------------------------------------------- TSpeedButton
TSpeedButton::TSpeedButton(TComponent* owner) : TWinControl(owner) {
    SetControlVisible(true);
    SpeedButtons().push_back(this);
    BindMessage(BM_GETCHECK, [this](TMessage& m) { m.Result = down_ ? BST_CHECKED : BST_UNCHECKED; });
    // The user's double click is two clicks.
    BindMessage(WM_LBUTTONDBLCLK, [this](TMessage& m) {
        m.Msg = WM_LBUTTONDOWN;
        DefaultHandler(m);
    });
}

TSpeedButton::~TSpeedButton() {
    auto& all = SpeedButtons();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    if (glyph_) CommonControls().ImageList_Destroy(glyph_);
}

void TSpeedButton::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ClassName = "TSpeedButton";
    params.BaseClass = "BUTTON";
    params.Style |= BS_OWNERDRAW;
}

void TSpeedButton::SetDown(bool down) {
    if (down_ == down) return;
    down_ = down;
    if (down && groupIndex_ != 0) {
        for (TSpeedButton* other : SpeedButtons())
            if (other != this && other->groupIndex_ == groupIndex_ && other->Parent() == Parent())
                other->SetDown(false);
    }
    if (HandleAllocated()) InvalidateRect(Handle(), nullptr, FALSE);
}

bool TSpeedButton::LoadGlyph(HINSTANCE module, const char* name, int numGlyphs) {
    const CommonControlsLibrary& cc = CommonControls();
    if (!cc.ImageList_Create) return false;
    SIZE picture{};
    const UniqueBitmap bitmap = LoadScaledBitmap(module, name, numGlyphs, picture);
    if (!bitmap) return false;
    HIMAGELIST list = cc.ImageList_Create(picture.cx, picture.cy, ILC_COLOR24 | ILC_MASK, numGlyphs, 0);
    if (list) cc.ImageList_AddMasked(list, bitmap.get(), RGB(255, 0, 255));
    if (!list) return false;
    if (glyph_) cc.ImageList_Destroy(glyph_);
    glyph_ = list;
    glyphWidth_ = picture.cx;
    glyphHeight_ = picture.cy;
    if (HandleAllocated()) InvalidateRect(Handle(), nullptr, FALSE);
    return true;
}

void TSpeedButton::Click() {
    if (groupIndex_ != 0) SetDown(true);
    if (OnClick) OnClick(this);
}

bool TSpeedButton::Reflected(TMessage& m) {
    if (IsClick(m)) {
        Click();
        return true;
    }
    if (m.Msg == WM_DRAWITEM) {
        Draw(*reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam));
        m.Result = TRUE;
        return true;
    }
    return false;
}

void TSpeedButton::Draw(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rc = item.rcItem;
    const bool pressed = down_ || (item.itemState & ODS_SELECTED);
    FillRect(dc, &rc, GetSysColorBrush(pressed && down_ ? COLOR_3DLIGHT : COLOR_BTNFACE));
    DrawEdge(dc, &rc, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const int shift = pressed ? 1 : 0;
    const std::string caption = const_cast<TSpeedButton*>(this)->Text();
    HGDIOBJ oldFont = SelectObject(dc, Font() ? Font() : GetStockObject(DEFAULT_GUI_FONT));
    SIZE textSize{0, 0};
    if (!caption.empty()) GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &textSize);
    const int spacing = glyph_ && !caption.empty() ? Scaled(4) : 0;
    const int total = (glyph_ ? glyphHeight_ : 0) + spacing + textSize.cy;
    int y = rc.top + (rc.bottom - rc.top - total) / 2 + shift;
    if (glyph_) {
        const int x = rc.left + (rc.right - rc.left - glyphWidth_) / 2 + shift;
        CommonControls().ImageList_Draw(glyph_, 0, dc, x, y, (item.itemState & ODS_DISABLED) ? ILD_BLEND50 : ILD_TRANSPARENT);
        y += glyphHeight_ + spacing;
    }
    if (!caption.empty()) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
        RECT text{rc.left + shift, y, rc.right + shift, y + textSize.cy};
        DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &text, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
}

// ---------------------------------------------------------------- TCheckBox
TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) { SetControlVisible(true); }

void TCheckBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ClassName = "TCheckBox";
    params.BaseClass = "BUTTON";
    params.Style |= BS_AUTOCHECKBOX | (TabStop ? WS_TABSTOP : 0);
}

void TCheckBox::HandleCreated() {
    if (checked_) SendMessageA(Handle(), BM_SETCHECK, BST_CHECKED, 0);
}

bool TCheckBox::Checked() const { return checked_; }

void TCheckBox::SetChecked(bool checked) {
    if (checked_ == checked) return;
    checked_ = checked;
    if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (OnClick) OnClick(this);
}

bool TCheckBox::Reflected(TMessage& m) {
    if (!IsClick(m)) return false;
    // The button has toggled itself already.
    checked_ = SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (OnClick) OnClick(this);
    return true;
}

// ---------------------------------------------------------------- TBitBtn
TBitBtn::TBitBtn(TComponent* owner) : TWinControl(owner) { SetControlVisible(true); }

void TBitBtn::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ClassName = "TBitBtn";
    params.BaseClass = "BUTTON";
    params.Style |= WS_TABSTOP | (Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

void TBitBtn::Click() {
    if (OnClick) OnClick(this);
}

bool TBitBtn::Reflected(TMessage& m) {
    if (!IsClick(m)) return false;
    Click();
    return true;
}

// ---------------------------------------------------------------- TEdit
TEdit::TEdit(TComponent* owner) : TWinControl(owner) { SetControlVisible(true); }

void TEdit::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ClassName = "TEdit";
    params.BaseClass = "EDIT";
    params.Style |= ES_AUTOHSCROLL | WS_TABSTOP;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

bool TEdit::Reflected(TMessage& message) {
    // Also sent while the text is set from here; the setting itself then makes it known again.
    if (message.Msg == WM_COMMAND && HIWORD(message.WParam) == EN_CHANGE) ForgetText();
    return false;
}

// ---------------------------------------------------------------- TPanel
TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
    SetControlVisible(true);
    BindMessage(WM_PAINT, [this](TMessage&) { Paint(); });
    BindMessage(WM_SETTEXT, [this](TMessage& m) {
        DefaultHandler(m);
        InvalidateRect(Handle(), nullptr, TRUE);
    });
}

void TPanel::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ClassName = "TPanel";
}

void TPanel::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    RECT rc;
    GetClientRect(Handle(), &rc);
    DrawEdge(dc, &rc, BDR_SUNKENINNER, BF_RECT | BF_ADJUST);
    const std::string text = Text();
    HGDIOBJ oldFont = SelectObject(dc, Font() ? Font() : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, FontColor);
    rc.left += Scaled(2);
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    EndPaint(Handle(), &ps);
}

// ---------------------------------------------------------------- TGroupBox
TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) {
    SetControlVisible(true);
    BindMessage(WM_PAINT, [this](TMessage&) { Paint(); });
}

void TGroupBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ClassName = "TGroupBox";
    params.Style |= WS_CLIPCHILDREN;
    params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TGroupBox::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    RECT rc;
    GetClientRect(Handle(), &rc);
    const std::string caption = Text();
    HGDIOBJ oldFont = SelectObject(dc, Font() ? Font() : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, caption.empty() ? "0" : caption.c_str(), caption.empty() ? 1 : static_cast<int>(caption.size()),
                          &size);
    RECT frame = rc;
    frame.top += size.cy / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!caption.empty()) {
        const int left = Scaled(8), margin = Scaled(2);
        RECT text{left, 0, left + size.cx + 2 * margin, size.cy};
        FillRect(dc, &text, GetSysColorBrush(COLOR_BTNFACE));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        text.left += margin;
        DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &text, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    EndPaint(Handle(), &ps);
}

// ---------------------------------------------------------------- TStatusBar
TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner) { SetControlVisible(true); }

void TStatusBar::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ClassName = "TStatusBar";
    CommonControls();  // registers the class it extends
    params.BaseClass = STATUSCLASSNAMEA;
    params.Style |= CCS_BOTTOM;
}

void TStatusBar::HandleCreated() {
    // As the one (and so the last) panel it reaches the right edge.
    int edges[1] = {-1};
    SendMessageA(Handle(), SB_SETPARTS, 1, reinterpret_cast<LPARAM>(edges));
    SendMessageA(Handle(), SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(panelText_.c_str()));
}

void TStatusBar::SetPanelText(const std::string& text) {
    if (panelText_ == text) return;
    panelText_ = text;
    if (HandleAllocated()) SendMessageA(Handle(), SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(panelText_.c_str()));
}
