// The manager window: the add-in and association states, the controls to change
// them, and the icon in the notification area that keeps the program resident.
#pragma once
#include <memory>
#include <string>

#include "tray/TrayIcon_.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/StdCtrls.h"

// Shared between the refresh and the apply flow; false at program start.
extern bool RegisterSelected;     // the buttons now show the choice to register
extern bool AddinRegistered;      // the last refresh found the add-in registered
extern bool ExplorerAssociated;   // the last refresh found the association in force
extern bool CanWriteAssociation;  // this user may write the association (found at creation)

class TManagerForm : public TForm {
public:
    explicit TManagerForm(TComponent* owner);
    ~TManagerForm() override;

    // ---- components
    TSpeedButton* SpeedButton1;
    TGroupBox* GroupBox1;
    TSpeedButton* UnEnableBtn;
    TSpeedButton* EnableBtn;
    TEdit* CloseEdt;
    TCheckBox* ExpChk;
    TPanel* Panel2;
    TEdit* ExcelEdt;
    TEdit* TorvaEdt;
    TPanel* Panel1;
    TBitBtn* OKBtn;
    TBitBtn* BitBtn1;
    TStatusBar* StatusBar1;
    TPopupMenu* PopupMenu1;
    TMenuItem* Torva3;
    TMenuItem* N2;
    TMenuItem* N1;
    TTrayIcon_* TaskTray1 = nullptr;  // added after the first paint, or without one

    // ---- creation, display and refresh
    void FormCreate(TObject* sender);
    void SetForm();
    // Virtual for the start-up benchmark's mock-up, which writes fixed values instead.
    virtual void FormShow();
    void FormPaint(TObject* sender);
    void StateTorva(int state, const std::string& label);
    void StateExplorer(bool associated);
    void SetOKBtn();
    void ExpChkClick(TObject* sender);

    // ---- tray, minimise and close
    void MiniMize(TObject* sender);
    void TaskTray1_DblClick(TObject* sender);
    void Torva3Click(TObject* sender);
    void N1Click(TObject* sender);
    void Torva1Click(TObject* sender);
    void Torva2Click(TObject* sender);

    // ---- choosing and applying
    std::string GetTorvaType(int version);
    bool CheckExplorer(int version);
    bool CheckWriteUser(int version);
    bool IsRunExcel(int version);
    void EnableBtnClick(TObject* sender);
    void UnEnableBtnClick(TObject* sender);
    void OKBtnClick(TObject* sender);
    void ClickEvent(bool registerAddin);
    void SpeedButton1Click(TObject* sender);

    // How many refreshes ran (for checks that painting settles).
    int RefreshCount() const { return refreshCount_; }
    // The tray icon and the hints were added, a moment after the first paint (or, when no paint
    // comes, half a second after the window was made).
    bool StartFinished() const { return trayAdded_; }
    // The start-up error was reported: the program is ending.
    bool Ending() const { return ending_; }

protected:
    // The window as designed, with its controls and texts, but nothing read and no FormCreate:
    // the start-up benchmark builds its mock-up of this window on it.
    struct DesignOnly {};
    TManagerForm(TComponent* owner, DesignOnly);
    void CreateParams(TCreateParams& params) override;

private:
    void ShowAgain();
    void SetTrayTip(const std::string& tip);
    void AddTrayIcon();
    void TrayFailed(const ENotifyIconError& e);
    int refreshCount_ = 0;
    bool ending_ = false;
    bool trayFailureShown_ = false;
    bool trayAdded_ = false;
    std::string tipBefore_;  // the last tip set before the icon was added
};

// The single manager window while it exists (window mode).
extern TManagerForm* ManagerForm;

// Initialises the application, creates the window, shows it and runs the message
// loop until it closes.
void RunManagerWindow();
