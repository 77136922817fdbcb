#include "manager/TorvaMan1.h"

#include "edition/Edition.h"
#include "environment/ComUtil.h"
#include "environment/Phases.h"
#include "environment/Profile.h"
#include "excel/ExcelAutomation.h"
#include "excel/ExcelFacts.h"
#include "excel/ExcelLocation.h"
#include "help/HelpDisplay.h"
#include "manager/Addin.h"
#include "manager/Association.h"
#include "manager/ManagerMarker.h"
#include "manager/Settings.h"
#include "ui/AppHandle.h"

bool RegisterSelected = false;
bool AddinRegistered = false;
bool ExplorerAssociated = false;
bool CanWriteAssociation = false;
TManagerForm* ManagerForm = nullptr;

namespace {

constexpr const char* kCaption = "Torvaマネージャ";
constexpr int kClientWidth = 235, kClientHeight = 304;
constexpr UINT_PTR kFinishStartTimer = 1;
// When no paint comes: a window covered at its start on a system without desktop composition,
// or one started minimised, which hides itself.
constexpr UINT kFinishStartFallbackMs = 500;
// The design caption; the first refresh replaces it with the state found.
constexpr const char* kDesignNotAssociated = "　　現在関連づけはされていません。";
constexpr const char* kNotAssociated = "　　現在関連付けはされていません。";
constexpr const char* kAssociated = "　　現在関連付けがされています。";
constexpr const char* kNoMoreOrder = "Excelを終了してから再度この操作をおこなってください。\r\r";

int WindowVersion() { return ClampedVersion(ServedExcelVersion()); }

template <class T>
T* Make(TManagerForm* form, TWinControl* parent, int left, int top, int width, int height) {
    T* control = new T(form);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    control->SetFont(UiFont(-11));
    return control;
}

}  // namespace

TManagerForm::TManagerForm(TComponent* owner) : TManagerForm(owner, DesignOnly{}) { FormCreate(this); }

TManagerForm::TManagerForm(TComponent* owner, DesignOnly) : TForm(owner) {
    ManagerForm = this;
    BindMessage(WM_CREATE, [this](TMessage& m) {
        SetTimer(Handle(), kFinishStartTimer, kFinishStartFallbackMs, nullptr);
        DefaultHandler(m);
    });
    BindMessage(WM_PAINT, [this](TMessage&) {
        // Validate first: the refresh must not leave the window asking to be painted again.
        PAINTSTRUCT ps;
        BeginPaint(Handle(), &ps);
        EndPaint(Handle(), &ps);
        FormPaint(this);
        if (!trayAdded_) SetTimer(Handle(), kFinishStartTimer, USER_TIMER_MINIMUM, nullptr);
    });
    // The icon and the hints join once the window and its controls have painted and the first
    // frame is out: the window shows sooner, and nobody can tell they came a moment later. The
    // first paint brings the timer forward; without one, it runs out all the same.
    BindMessage(WM_TIMER, [this](TMessage& m) {
        if (m.WParam != kFinishStartTimer) return DefaultHandler(m);
        KillTimer(Handle(), kFinishStartTimer);
        AddTrayIcon();
        HoldHints(false);
        GiveWaitingHints();
    });
    BindMessage(WM_COMMAND, [this](TMessage& m) {
        // The Enter key presses the default button.
        if (m.LParam == 0 && LOWORD(m.WParam) == IDOK) {
            if (OKBtn->Enabled()) OKBtn->Click();
            return;
        }
        DefaultHandler(m);
    });
    HoldHints(true);
    SetCaption(kCaption);
    SetFont(UiFont(-11, false, ANSI_CHARSET));
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!Icon().LoadFromResourceName(instance, "MAINICON", true))
        Icon().SetHandle(CopyIcon(LoadIcon(nullptr, IDI_APPLICATION)));

    SpeedButton1 = Make<TSpeedButton>(this, this, 205, 249, 24, 30);
    SpeedButton1->SetHint("ヘルプを表示する");
    SpeedButton1->SetCursor(HandCursor());
    SpeedButton1->LoadGlyph(instance, "GLYPH_HELP", 2);
    SpeedButton1->OnClick = [this](TObject* s) { SpeedButton1Click(s); };

    GroupBox1 = Make<TGroupBox>(this, this, 2, 7, 231, 236);
    GroupBox1->SetText("作業ユーザー");
    GroupBox1->SetFont(UiFont(-12, true));

    UnEnableBtn = Make<TSpeedButton>(this, GroupBox1, 122, 19, 98, 62);
    UnEnableBtn->SetText("アドイン解除");
    UnEnableBtn->SetHint("Torvaのアドインを解除する");
    UnEnableBtn->SetShowHint(true);
    UnEnableBtn->SetGroupIndex(1);
    UnEnableBtn->SetFont(UiFont(-12));
    UnEnableBtn->LoadGlyph(instance, "GLYPH_REMOVE");
    UnEnableBtn->OnClick = [this](TObject* s) { UnEnableBtnClick(s); };

    EnableBtn = Make<TSpeedButton>(this, GroupBox1, 10, 19, 98, 62);
    EnableBtn->SetText("アドイン登録");
    EnableBtn->SetHint("Torvaをアドイン登録する");
    EnableBtn->SetShowHint(true);
    EnableBtn->SetGroupIndex(1);
    EnableBtn->SetDown(true);
    EnableBtn->SetFont(UiFont(-12));
    EnableBtn->LoadGlyph(instance, "GLYPH_REGISTER");
    EnableBtn->OnClick = [this](TObject* s) { EnableBtnClick(s); };

    CloseEdt = Make<TEdit>(this, GroupBox1, 8, 40, 17, 22);
    CloseEdt->SetControlVisible(false);

    ExpChk = Make<TCheckBox>(this, GroupBox1, 14, 125, 161, 19);
    ExpChk->SetText("エクスプローラとの関連付け");
    ExpChk->SetHint("エクスプローラから起動した場合のTorvaの自動実行を有効にします");
    ExpChk->SetShowHint(true);
    ExpChk->SetCursor(HandCursor());
    ExpChk->TabStop = false;
    ExpChk->SetFont(UiFont(-12));
    ExpChk->OnClick = [this](TObject* s) { ExpChkClick(s); };

    Panel2 = Make<TPanel>(this, GroupBox1, 6, 151, 218, 26);
    Panel2->SetText(kDesignNotAssociated);
    Panel2->FontColor = RGB(255, 0, 0);

    ExcelEdt = Make<TEdit>(this, this, 2, 220, 33, 21);
    ExcelEdt->SetControlVisible(false);
    TorvaEdt = Make<TEdit>(this, this, 2, 260, 33, 21);
    TorvaEdt->SetControlVisible(false);

    Panel1 = Make<TPanel>(this, this, 8, 95, 218, 26);
    Panel1->SetText(" ");
    Panel1->FontColor = RGB(255, 0, 0);

    OKBtn = Make<TBitBtn>(this, this, 8, 196, 218, 37);
    OKBtn->SetText("上記設定を有効にする");
    OKBtn->Default = true;
    OKBtn->SetCursor(HandCursor());
    OKBtn->OnClick = [this](TObject* s) { OKBtnClick(s); };

    BitBtn1 = Make<TBitBtn>(this, this, 112, 249, 88, 30);
    BitBtn1->SetText("閉じる(&C)");
    BitBtn1->SetHint("Torvaマネージャーを閉じる");
    BitBtn1->SetCursor(HandCursor());
    BitBtn1->OnClick = [this](TObject*) { Close(); };

    StatusBar1 = Make<TStatusBar>(this, this, 0, kClientHeight - 19, kClientWidth, 19);
    StatusBar1->SetPanelText("Torva-X Developers");

    PopupMenu1 = new TPopupMenu(this);
    Torva3 = PopupMenu1->Add("Torvaマネージャを表示", [this](TObject* s) { Torva3Click(s); });
    N2 = PopupMenu1->Add("-");
    N1 = PopupMenu1->Add("常駐Torvaマネージャ終了", [this](TObject* s) { N1Click(s); });

    // The window and its shown controls exist before the tray icon, whose callback
    // window becomes a child of this one. Hidden ones get a window when one is asked for.
    if (HWND h = Handle()) {
        MarkManagerWindow(h, EditionCode);
        for (int i = 0; i < ComponentCount(); ++i)
            if (auto* control = dynamic_cast<TWinControl*>(Components(i)); control && control->ControlVisible())
                control->Handle();
    }
    MarkPhase("window and controls made");
}

TManagerForm::~TManagerForm() {
    HoldHints(false);  // when it never painted
    if (HandleAllocated()) UnmarkManagerWindow(Handle(), EditionCode);
    if (ManagerForm == this) ManagerForm = nullptr;
}

void TManagerForm::CreateParams(TCreateParams& params) {
    TForm::CreateParams(params);
    params.ClassName = "TManagerForm";
    params.Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    params.ExStyle = WS_EX_CONTROLPARENT;
    // Owned by the hidden application window: no taskbar button of its own.
    params.WndParent = Application().Handle();
    RECT rc{0, 0, Scaled(kClientWidth), Scaled(kClientHeight)};
    AdjustWindowRectEx(&rc, params.Style, FALSE, params.ExStyle);
    params.X = params.Y = 12;
    params.Width = rc.right - rc.left;
    params.Height = rc.bottom - rc.top;
}

// ---------------------------------------------------------------- creation and display

void TManagerForm::AddTrayIcon() {
    if (trayAdded_) return;
    trayAdded_ = true;
    try {
        TaskTray1 = new TTrayIcon_(this);
        TaskTray1->BeginReading();
        TaskTray1->SetTipHelp("TipHelp");
        TaskTray1->SetIcon(&Icon());
        TaskTray1->SetRBPopupMenu(PopupMenu1);
        TaskTray1->SetVisible(true);
        TaskTray1->SetBalloonIcon(biifNone);
        TaskTray1->OnDblClick = [this](TObject* s) { TaskTray1_DblClick(s); };
        TaskTray1->FinishLoading();
    } catch (const ENotifyIconError& e) {
        TrayFailed(e);
    }
    // The tip set meanwhile follows, a change as when the icon came first.
    if (!tipBefore_.empty()) SetTrayTip(tipBefore_);
    MarkPhase("tray icon added");
}

// A notification area that is slow or gone (at log-on, typically) leaves the window
// working without its icon; the user hears of it once, not at every paint.
void TManagerForm::TrayFailed(const ENotifyIconError& e) {
    if (trayFailureShown_) return;
    trayFailureShown_ = true;
    ShowMessageBox(ApplicationHandle(), e.Message(), MB_OK | MB_ICONERROR, kCaption);
}

void TManagerForm::SetTrayTip(const std::string& tip) {
    if (!trayAdded_) tipBefore_ = tip;
    if (!TaskTray1) return;
    try {
        TaskTray1->SetTipHelp(tip);
    } catch (const ENotifyIconError& e) {
        TrayFailed(e);
    }
}

void TManagerForm::FormCreate(TObject*) {
    SetTrayTip(Caption());
    const int v = ServedExcelVersion();
    ExpChk->SetChecked(CheckExplorer(v));
    CanWriteAssociation = CheckWriteUser(v);
    if (!CanWriteAssociation) ExpChk->SetEnabled(false);

    std::string excelFolder, startupFolder;
    GetExcelFolders(SettingsFileName(), excelFolder, startupFolder);
    if (!startupFolder.empty() && !ForceFolders(startupFolder)) {
        AddTrayIcon();  // as in every start, the icon is there while the box is
        ShowMessageBox(ApplicationHandle(), "Excelフォルダがみつかりませんでした。\rTorvaマネージャを強制終了します。",
                       MB_OK | MB_ICONERROR, "システムエラー");
        ending_ = true;
        Application().Terminate();
        return;
    }
    SetWindowPos(Handle(), nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TManagerForm::SetForm() {
    HWND app = Application().Handle();
    Application().ShowMainForm = false;
    Application().OnMinimize = [this](TObject* s) { MiniMize(s); };
    ShowWindow(app, SW_HIDE);
    Application().Restore();
    Show();
    ShowWindow(app, SW_HIDE);
}

void TManagerForm::FormPaint(TObject*) {
    FormShow();
    Application().ProcessMessages();
}

void TManagerForm::FormShow() {
    // Once the program is ending, further paints change nothing.
    if (ending_) return;
    ++refreshCount_;
    MarkPhase("refresh begins");
    const int n = WindowVersion();
    const std::string settings = SettingsFileName();
    RemoveVirtualStoreCopy(settings);

    std::string display;
    ReadProfileString("Product", "Display", display, settings, 255);
    StatusBar1->SetPanelText(display);

    const std::string label = ProductLabel(GetTorvaType(n));
    SetCaption(kCaption);
    Application().SetTitle(kCaption);
    Application().SetHintHidePause(50000);

    // Probes the Excel folder when none is stored and writes it back.
    std::string excelFolder, startupFolder;
    GetExcelFoldersFor(settings, n, excelFolder, startupFolder);
    const std::string productFolder = ReadProductFolderOf(settings);

    const AddinLocation at = LocateAddin(startupFolder, productFolder);
    const int state = at.state;
    ExcelEdt->SetText(at.installed);
    TorvaEdt->SetText(at.parked);
    StateTorva(state, label);

    RegisterSelected = state == 0;
    AddinRegistered = state == 0;
    ExplorerAssociated = CheckExplorer(n);
    StateExplorer(ExplorerAssociated);
    SetOKBtn();
    MarkPhase("refresh ends");
}

void TManagerForm::StateTorva(int state, const std::string& label) {
    if (state == 0 || state == 1) {
        const bool registered = state == 0;
        EnableBtn->SetDown(registered);
        UnEnableBtn->SetDown(!registered);
        EnableBtn->SetShowHint(!registered);
        UnEnableBtn->SetShowHint(registered);
        EnableBtn->SetCursor(registered ? nullptr : HandCursor());
        UnEnableBtn->SetCursor(registered ? HandCursor() : nullptr);
        if (CanWriteAssociation) ExpChk->SetEnabled(registered);
        Panel1->SetText(registered ? "　　現在Torvaはアドイン登録されてます。" : "　　現在Torvaはアドイン解除されてます。");
        SetTrayTip(label + (registered ? "はアドイン登録されてます。" : "はアドイン解除されてます。"));
        return;
    }
    ending_ = true;
    Hide();
    AddTrayIcon();  // as in every start, the icon is there while the box is
    ShowMessageBox(ApplicationHandle(),
                   "システムが異常です。\rExcelもしくは" + label + "が正常にインストールされてません。\r\r" + label +
                       "マネージャーを強制終了します。",
                   MB_OK | MB_ICONERROR, label + "マネージャー起動エラー");
    // Closed from the message loop: the handler that got here runs to its end first.
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

void TManagerForm::StateExplorer(bool associated) {
    ExpChk->SetChecked(associated);
    Panel2->SetText(associated ? kAssociated : kNotAssociated);
}

void TManagerForm::SetOKBtn() {
    const bool unchanged = EnableBtn->Down() == AddinRegistered && ExpChk->Checked() == ExplorerAssociated;
    OKBtn->SetEnabled(!unchanged);
}

void TManagerForm::ExpChkClick(TObject*) { SetOKBtn(); }

// ---------------------------------------------------------------- tray, minimise and close

void TManagerForm::MiniMize(TObject*) {
    Application().ShowMainForm = false;
    ShowWindow(Application().Handle(), SW_HIDE);
}

void TManagerForm::ShowAgain() {
    Application().Restore();
    Show();
    ShowWindow(Application().Handle(), SW_HIDE);
    SetForegroundWindow(Handle());
}

void TManagerForm::TaskTray1_DblClick(TObject*) { ShowAgain(); }

void TManagerForm::Torva3Click(TObject*) { ShowAgain(); }

void TManagerForm::N1Click(TObject*) { Close(); }

void TManagerForm::Torva1Click(TObject*) { ClickEvent(false); }

void TManagerForm::Torva2Click(TObject*) { ClickEvent(true); }

// ---------------------------------------------------------------- choosing and applying

std::string TManagerForm::GetTorvaType(int version) { return ::GetTorvaType(version); }

bool TManagerForm::CheckExplorer(int version) { return CheckExplorerAssociation(version); }

bool TManagerForm::CheckWriteUser(int version) { return CheckWriteUserAssociation(version); }

bool TManagerForm::IsRunExcel(int version) { return IsExcelRunning(excel::RunningTestProgIdFor(version)); }

void TManagerForm::EnableBtnClick(TObject*) {
    // Choosing to register proposes the association as well.
    if (!RegisterSelected && CanWriteAssociation) ExpChk->SetChecked(true);
    RegisterSelected = true;
    EnableBtn->SetShowHint(false);
    EnableBtn->SetCursor(nullptr);
    UnEnableBtn->SetShowHint(true);
    UnEnableBtn->SetCursor(HandCursor());
    if (CanWriteAssociation) ExpChk->SetEnabled(true);
    SetOKBtn();
}

void TManagerForm::UnEnableBtnClick(TObject*) {
    if (RegisterSelected && CanWriteAssociation) {
        ExpChk->SetChecked(false);
        ExpChk->SetEnabled(false);
    }
    RegisterSelected = false;
    EnableBtn->SetShowHint(true);
    EnableBtn->SetCursor(HandCursor());
    UnEnableBtn->SetShowHint(false);
    UnEnableBtn->SetCursor(nullptr);
    SetOKBtn();
}

void TManagerForm::OKBtnClick(TObject*) {
    // Every message box below, and the automation calls, run a message loop in which a paint
    // refreshes the window back to the state found: decide from the choice as it stood at the press.
    const bool registerChosen = EnableBtn->Down();
    const bool associationChosen = ExpChk->Checked();
    const bool registeredFound = AddinRegistered;
    const bool associatedFound = ExplorerAssociated;
    const int v = WindowVersion();
    if (IsRunExcel(v) || IsExcelWindowPresent()) {
        ShowMessageBox(ApplicationHandle(),
                       std::string("Excelが動作中のため\rこの上記設定を有効にすることができませんでした。\r\r起動中の") +
                           kNoMoreOrder,
                       MB_OK | MB_ICONERROR, kCaption);
        return;
    }
    const bool changed = registerChosen != registeredFound;
    if (changed) ClickEvent(registerChosen);
    const std::string productFolder = ReadProductFolder();
    if (associatedFound != associationChosen) {
        const int mode = associationChosen ? 1 : 2;
        OfficeSwitchReport report;
        if (SwitchAssociation(v, productFolder, mode, &report)) {
            if (!changed)
                ShowMessageBox(ApplicationHandle(),
                               mode == 1 ? "エクスプローラとの関連づけを有効にしました\r\r"
                                         : "エクスプローラとの関連づけを解除しました\r\r",
                               MB_OK | MB_ICONEXCLAMATION, kCaption);
        } else if (const std::string text = OfficeSwitchMessage(report, mode); !text.empty()) {
            // A folder that did not take the change is no success, whatever else changed.
            ShowMessageBox(ApplicationHandle(), text, MB_OK | MB_ICONERROR, kCaption);
        }
    }
    FormShow();
}

void TManagerForm::ClickEvent(bool registerAddin) {
    const int v = WindowVersion();
    const std::string code = GetTorvaType(v);
    const std::string installed = ExcelEdt->Text();
    const std::string parked = TorvaEdt->Text();
    const int mode = registerAddin ? 1 : 2;
    const std::string verb = registerAddin ? "をアドイン登録" : "のアドインを解除";

    if (!registerAddin && IsRunExcel(v)) {
        ShowMessageBox(ApplicationHandle(),
                       "Torva" + code + "が動作中のため\rTorvaのアドインを解除することができませんでした。\r\r" +
                           kNoMoreOrder,
                       MB_OK | MB_ICONERROR, "Torva" + code + "のアドインを解除できません");
        EnableBtn->SetDown(true);
        return;
    }
    if (SwitchAddinFile(installed, parked, mode)) {
        ShowMessageBox(ApplicationHandle(),
                       "Torva" + code + verb + "しました。\r\rこの設定は次回Excel起動時から有効になります。\r\r",
                       MB_OK | MB_ICONEXCLAMATION, "Torva" + code + "マネージャー");
        return;
    }
    ShowMessageBox(ApplicationHandle(),
                   "システムエラーが発生したため\rTorva" + verb + "することができませんでした。\r\rTorva" + code +
                       "マネージャを強制終了します。",
                   MB_OK | MB_ICONERROR, "システムエラー");
    // The caller finishes its work first; the window closes from the message loop.
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

void TManagerForm::SpeedButton1Click(TObject*) { ShowManagerHelp(ReadHelpFolder()); }

// ---------------------------------------------------------------- window mode

void RunManagerWindow() {
    Application().Initialize();
    MarkPhase("application initialised");
    {
        auto form = std::make_unique<TManagerForm>(nullptr);
        MarkPhase("window created");
        Application().SetMainForm(form.get());
        if (!form->Ending() && !Application().Terminated()) {
            form->SetForm();
            MarkPhase("shown");
            Application().Run();
        }
    }
    EndCom();
}
