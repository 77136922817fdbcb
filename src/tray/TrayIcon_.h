// The notification-area icon component, the window that receives the shell's
// notifications for every icon of the process, and the single-click timer.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/Classes.h"
#include "ui/Controls.h"
#include "ui/Graphics.h"
#include "ui/ImgList.h"
#include "ui/Menus.h"
#include "ui/Threads.h"

// The callback message of every tray icon of the process (WM_USER + 200).
constexpr UINT TrayCallbackMessage = WM_USER + 200;
static_assert(TrayCallbackMessage == 1224);

class ENotifyIconError : public Exception {
public:
    using Exception::Exception;
};

enum TBalloonInfoIconFlag : unsigned char { biifNone, biifInfo, biifWarning, biifError };
// Seconds, 10 to 60.
using TBalloonTimeout = unsigned char;

// Every call to the shell's notification area goes through this function.
using ShellNotifyFn = BOOL (*)(DWORD message, NOTIFYICONDATAA* data);
// Replaces it (tests record and fail calls); none restores Shell_NotifyIconA.
void SetShellNotifyFunction(ShellNotifyFn fn);

// The file version of Path; Major is left as it is, the others are 0, when the
// file has no version information (the result is then false).
bool GetFileVersion(const std::string& path, WORD& major, WORD* minor = nullptr, WORD* release = nullptr,
                     WORD* build = nullptr);
// The same for a file of the system folder.
bool GetSystemFileVersion(const std::string& fileName, WORD& major, WORD* minor = nullptr, WORD* release = nullptr,
                           WORD* build = nullptr);

class TTrayIcon_;
class TTrayAnimation;

struct TrayIconEntry {
    std::string Id;  // decimal icon ID
    TTrayIcon_* Icon;
};
// The live icons of the process in increasing ID order.
const std::vector<TrayIconEntry>& TrayIconList();

// The one window named in every icon's record. A child of the first icon's
// owner form while that form lives; a message-only window otherwise. It stays
// until the program ends, so no icon ever outlives it.
class TCallbackWindow : public TWinControl {
public:
    explicit TCallbackWindow(TWinControl* parentForm);

    // The icon whose message was handled last (not owned); none after it is destroyed.
    TTrayIcon_* CurrentIcon = nullptr;

    // End of a single-click wait, run on the GUI thread.
    void ClickTimeout(TObject* sender);
    // Brings the application's active form forward when the current icon asks for it.
    void ActivateActiveForm();

    // Private messages from the worker threads.
    static constexpr UINT ClickTimeoutMessage = WM_APP + 1;
    static constexpr UINT AnimationStepMessage = WM_APP + 2;  // WParam: icon ID

protected:
    void CreateParams(TCreateParams& params) override;
    void ForgetComponent(TComponent* component, TOperation operation) override;

private:
    void TrayCallback(TMessage& message);
    void OpenMenu(TTrayIcon_* icon, bool left, int x, int y);
};

// The unit's callback window; none before the first icon is made.
TCallbackWindow* SharedCallbackWindow();

// Sleeps the double-click time plus 50 ms, then tells the callback window;
// frees itself.
class TSingleClick : public TThread {
public:
    // Starts a worker for Window; false when no thread could be made.
    static bool Start(HWND window);

protected:
    void Execute() override;
    void DoTerminate() override;

private:
    explicit TSingleClick(HWND window) : window_(window) {}
    HWND window_;
};

class TTrayIcon_ : public TComponent {
public:
    enum TNotifyOperation { opAdd, opModify, opDelete, opBalloonShow, opBalloonHide, opStateShow, opStateHide };

    // Raises ENotifyIconError when 100 icons live already.
    explicit TTrayIcon_(TComponent* owner);
    ~TTrayIcon_() override;

    // ---- properties
    TImageList* AnimateIcons() const { return animateIcons_; }
    void SetAnimateIcons(TImageList* list);
    int AnimateRate() const { return animateRate_; }
    void SetAnimateRate(int rate);
    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool value) { autoPopup_ = value; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    TIcon& Icon() { return icon_; }
    void SetIcon(const TIcon* icon);
    TPopupMenu* LBPopupMenu() const { return lbPopupMenu_; }
    void SetLBPopupMenu(TPopupMenu* menu);
    TPopupMenu* RBPopupMenu() const { return rbPopupMenu_; }
    void SetRBPopupMenu(TPopupMenu* menu);
    const std::string& TipHelp() const { return tipHelp_; }
    void SetTipHelp(const std::string& text);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    const std::string& BalloonTitle() const { return balloonTitle_; }
    void SetBalloonTitle(const std::string& text);
    const std::string& BalloonText() const { return balloonText_; }
    void SetBalloonText(const std::string& text);
    TBalloonInfoIconFlag BalloonIcon() const { return balloonIcon_; }
    void SetBalloonIcon(TBalloonInfoIconFlag value) { balloonIcon_ = value; }
    TBalloonTimeout BalloonTimeout() const { return balloonTimeout_; }
    void SetBalloonTimeout(int seconds);
    bool FormActiveByMouseup() const { return formActiveByMouseup_; }
    void SetFormActiveByMouseup(bool value) { formActiveByMouseup_ = value; }

    TNotifyEvent OnClick, OnDblClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnBalloonShow, OnBalloonHide, OnBalloonTimeout, OnBalloonClick;

    // ---- state
    int IconId() const { return iconId_; }
    bool Added() const { return added_; }
    bool ClickPending() const { return clickPending_; }
    WORD ShellMajor() const { return shellMajor_; }
    bool IsXPOrLater() const { return isXPOrLater_; }
    bool Animating() const { return animating_; }

    // ---- operations
    void BeginReading() override;
    void FinishLoading() override;
    // The only caller of the shell.
    void NotifyShell(TNotifyOperation operation);
    // Own icon, else the owner form's, else the application's.
    HICON CurrentIconHandle() const;
    void IconChanged();
    void ShowBalloon() { NotifyShell(opBalloonShow); }
    void HideBalloon() { NotifyShell(opBalloonHide); }
    // Cycles the images of AnimateIcons every AnimateRate ms until stopped.
    void StartAnimation();
    void StopAnimation();

protected:
    void ForgetComponent(TComponent* component, TOperation operation) override;
    void SetShellMajor(WORD major) { shellMajor_ = major; }

private:
    friend class TCallbackWindow;
    friend void ReregisterAll();
    void AnimationStep();
    // Sends the worker's current frame; a refusal ends the animation before it is raised.
    void ShowFrame();
    void Reregister();

    bool animating_ = false;
    TImageList* animateIcons_ = nullptr;
    bool animationUpdate_ = false;
    int animateRate_ = 500;
    bool autoPopup_ = true;
    bool enabled_ = true;
    TIcon icon_;
    TPopupMenu* lbPopupMenu_ = nullptr;
    TPopupMenu* rbPopupMenu_ = nullptr;
    std::string tipHelp_ = "TipHelp";
    bool visible_ = false;
    std::unique_ptr<TTrayAnimation> animationWorker_;
    int iconId_ = 0;
    bool added_ = false;
    std::unique_ptr<NOTIFYICONDATAA> notifyData_;
    bool clickPending_ = false;
    bool readingState_ = false;
    WORD shellMajor_ = 0;
    bool isXPOrLater_ = false;
    std::string balloonTitle_, balloonText_;
    TBalloonTimeout balloonTimeout_ = 10;
    TBalloonInfoIconFlag balloonIcon_ = biifNone;
    bool formActiveByMouseup_ = false;
};
