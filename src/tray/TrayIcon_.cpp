#include "tray/TrayIcon_.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "environment/OsVersion.h"
#include "environment/StrUtils.h"
#include "ui/Forms.h"

// Registers every icon again after the notification area was made anew.
void ReregisterAll();

namespace {

const char kCannotRegister[] = "タスクトレイにアイコンを登録できません。";
const char kCannotSwitchBalloon[] = "タスクトレイアイコンのバルーンメッセージ表示が切り替えられません。";
const char kCannotSwitchDisplay[] = "タスクトレイアイコンの表示が切り替えられません。";

constexpr size_t kMaxIcons = 100;
constexpr size_t kTipBytes = 63, kTitleBytes = 63, kTextBytes = 255;

// The record in its form with the balloon and state fields (everything before
// guidItem): the shell of every version from 5 on reads it, older ones ignore the tail.
constexpr DWORD kNotifyDataSize = offsetof(NOTIFYICONDATAA, guidItem);
#if !defined(_WIN64)
static_assert(kNotifyDataSize == 488, "NOTIFYICONDATAA in its 488-byte form");
#endif

BOOL RealShellNotify(DWORD message, NOTIFYICONDATAA* data) { return Shell_NotifyIconA(message, data); }
ShellNotifyFn shellNotify = RealShellNotify;

// Copies at most Max bytes of Text into a zero-filled field of Size bytes.
void CopyField(char* field, size_t size, const std::string& text, size_t max) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), text.size() < max ? text.size() : max);
}

class TTaskbarWatcher : public TWinControl {
public:
    TTaskbarWatcher() : TWinControl(nullptr) {
        // A broadcast reaches unowned top-level windows only, never the child callback window.
        const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
        if (taskbarCreated) BindMessage(taskbarCreated, [](TMessage&) { ReregisterAll(); });
    }

protected:
    void CreateParams(TCreateParams& params) override {
        TWinControl::CreateParams(params);
        params.ClassName = "TTrayTaskbarWatcher";
    }
};

struct TrayUnit {
    std::vector<TrayIconEntry> list;
    std::unique_ptr<TCallbackWindow> callbackWindow;
    std::unique_ptr<TTaskbarWatcher> watcher;
};

TrayUnit& Unit() {
    static TrayUnit unit;
    return unit;
}

TTrayIcon_* FindIcon(const std::string& id) {
    for (const TrayIconEntry& e : Unit().list)
        if (e.Id == id) return e.Icon;
    return nullptr;
}

bool IsLive(const TTrayIcon_* icon) {
    for (const TrayIconEntry& e : Unit().list)
        if (e.Icon == icon) return true;
    return false;
}

}  // namespace

// Cycles the frames: the thread only keeps time; the frames change on the GUI thread.
class TTrayAnimation : public TThread {
public:
    TTrayAnimation(HWND window, int iconId, int rate) : window_(window), iconId_(iconId), rate_(rate) {}
    ~TTrayAnimation() override { TerminateAndWait(); }

    std::atomic<int>& Rate() { return rate_; }
    TIcon Frame;  // GUI thread only
    int FrameIndex = 0;
    std::atomic<bool> StepPending{false};

protected:
    void Execute() override {
        while (!WaitTerminated(static_cast<DWORD>(rate_.load()))) {
            // One step at a time: a busy GUI thread is not flooded.
            if (!StepPending.exchange(true)) PostMessageA(window_, TCallbackWindow::AnimationStepMessage, iconId_, 0);
        }
    }

private:
    HWND window_;
    int iconId_;
    std::atomic<int> rate_;
};

void SetShellNotifyFunction(ShellNotifyFn fn) { shellNotify = fn ? fn : RealShellNotify; }

const std::vector<TrayIconEntry>& TrayIconList() { return Unit().list; }

TCallbackWindow* SharedCallbackWindow() { return Unit().callbackWindow.get(); }

// ---- version probe ------------------------------------------------------------

bool GetFileVersion(const std::string& path, WORD& major, WORD* minor, WORD* release, WORD* build) {
    if (minor) *minor = 0;
    if (release) *release = 0;
    if (build) *build = 0;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return false;
    major = HIWORD(info->dwFileVersionMS);
    if (minor) *minor = LOWORD(info->dwFileVersionMS);
    if (release) *release = HIWORD(info->dwFileVersionLS);
    if (build) *build = LOWORD(info->dwFileVersionLS);
    return true;
}

bool GetSystemFileVersion(const std::string& fileName, WORD& major, WORD* minor, WORD* release, WORD* build) {
    char folder[261] = {};
    const UINT n = GetSystemDirectoryA(folder, sizeof folder);
    const std::string dir(folder, n < sizeof folder ? n : 0);
    return GetFileVersion(AddTrailingBackslash(dir) + fileName, major, minor, release, build);
}

// ---- the component --------------------------------------------------------------

TTrayIcon_::TTrayIcon_(TComponent* owner) : TComponent(owner) {
    GetSystemFileVersion("shell32.dll", shellMajor_);
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
    if (GetVersionExA(&vi))
        isXPOrLater_ = vi.dwMajorVersion > 5 || (vi.dwMajorVersion == 5 && vi.dwMinorVersion > 0);

    TrayUnit& unit = Unit();
    if (unit.list.size() >= kMaxIcons) throw ENotifyIconError(kCannotRegister);
    // The last entry holds the highest live ID; lower free IDs wait until the higher ones are gone.
    iconId_ = unit.list.empty() ? 1 : std::atoi(unit.list.back().Id.c_str()) + 1;

    icon_.OnChange = [this](TObject*) { IconChanged(); };
    if (!unit.callbackWindow) {
        unit.callbackWindow = std::make_unique<TCallbackWindow>(dynamic_cast<TWinControl*>(owner));
        unit.watcher = std::make_unique<TTaskbarWatcher>();
        unit.watcher->Handle();
    }
    notifyData_ = std::make_unique<NOTIFYICONDATAA>();
    notifyData_->cbSize = kNotifyDataSize;
    notifyData_->uCallbackMessage = TrayCallbackMessage;
    notifyData_->uID = static_cast<UINT>(iconId_);
    // Last, so that a failure above leaves no entry behind.
    unit.list.push_back({std::to_string(iconId_), this});
}

TTrayIcon_::~TTrayIcon_() {
    Destroying();
    if (animationWorker_) {
        animationWorker_.reset();
        animating_ = false;
    }
    if (added_) NotifyShell(opDelete);
    notifyData_.reset();
    TrayUnit& unit = Unit();
    const std::string id = std::to_string(iconId_);
    for (auto it = unit.list.begin(); it != unit.list.end(); ++it) {
        if (it->Id == id) {
            unit.list.erase(it);
            break;
        }
    }
    // A pending click must not reach a destroyed icon.
    if (unit.callbackWindow && unit.callbackWindow->CurrentIcon == this) unit.callbackWindow->CurrentIcon = nullptr;
}

void TTrayIcon_::BeginReading() {
    if (!readingState_) {
        readingState_ = true;
        SetTipHelp("");
    }
    TComponent::BeginReading();
}

void TTrayIcon_::FinishLoading() {
    readingState_ = false;
    try {
        NotifyShell(opAdd);
    } catch (...) {
        TComponent::FinishLoading();
        throw;
    }
    TComponent::FinishLoading();
}

void TTrayIcon_::ForgetComponent(TComponent* component, TOperation operation) {
    TComponent::ForgetComponent(component, operation);
    if (operation != TOperation::opRemove || !component) return;
    // One menu may serve both buttons: both references go.
    if (lbPopupMenu_ && static_cast<TComponent*>(lbPopupMenu_) == component) lbPopupMenu_ = nullptr;
    if (rbPopupMenu_ && static_cast<TComponent*>(rbPopupMenu_) == component) rbPopupMenu_ = nullptr;
    if (animateIcons_ && static_cast<TComponent*>(animateIcons_) == component) {
        // The frames come from that list. This runs inside the list's destructor, where no
        // error may escape: an icon the shell refuses to change back keeps its last frame.
        if (animating_) {
            try {
                StopAnimation();
            } catch (const ENotifyIconError&) {
            }
        }
        animateIcons_ = nullptr;
    }
}

// ---- properties -------------------------------------------------------------------

void TTrayIcon_::SetAnimateIcons(TImageList* list) {
    if (animating_ || list == animateIcons_) return;
    animateIcons_ = list;
    if (list) list->FreeNotification(this);
}

void TTrayIcon_::SetAnimateRate(int rate) {
    if (rate == animateRate_) return;
    animateRate_ = rate < 10 ? 10 : rate;
    if (animationWorker_) animationWorker_->Rate() = animateRate_;
}

void TTrayIcon_::SetEnabled(bool value) {
    enabled_ = value;
    if (!value) clickPending_ = false;
}

void TTrayIcon_::SetIcon(const TIcon* icon) {
    if (icon == &icon_) return;
    icon_.Assign(icon);
}

void TTrayIcon_::SetLBPopupMenu(TPopupMenu* menu) {
    lbPopupMenu_ = menu;
    if (menu) menu->FreeNotification(this);
}

void TTrayIcon_::SetRBPopupMenu(TPopupMenu* menu) {
    rbPopupMenu_ = menu;
    if (menu) menu->FreeNotification(this);
}

void TTrayIcon_::SetTipHelp(const std::string& text) {
    // Plain byte count: a lone lead byte at the end is kept as it is.
    std::string tip = text.substr(0, kTipBytes);
    if (tip == tipHelp_) return;
    tipHelp_ = std::move(tip);
    IconChanged();
}

void TTrayIcon_::SetBalloonTitle(const std::string& text) {
    std::string title = text.substr(0, kTitleBytes);
    if (title != balloonTitle_) balloonTitle_ = std::move(title);
}

void TTrayIcon_::SetBalloonText(const std::string& text) {
    std::string body = text.substr(0, kTextBytes);
    if (body != balloonText_) balloonText_ = std::move(body);
}

void TTrayIcon_::SetBalloonTimeout(int seconds) {
    balloonTimeout_ = static_cast<TBalloonTimeout>(seconds < 10 ? 10 : seconds > 60 ? 60 : seconds);
}

void TTrayIcon_::SetVisible(bool value) {
    if (value == visible_) return;
    visible_ = CurrentIconHandle() ? value : false;
    if (Loading()) return;  // FinishLoading adds it
    if (visible_) {
        NotifyShell(added_ && shellMajor_ >= 5 ? opStateShow : opAdd);
    } else if (added_) {
        NotifyShell(shellMajor_ >= 5 ? opStateHide : opDelete);
    }
}

// ---- the shell ----------------------------------------------------------------------

HICON TTrayIcon_::CurrentIconHandle() const {
    HICON icon = icon_.Handle();
    if (!icon) {
        if (auto* form = dynamic_cast<TForm*>(Owner())) icon = form->IconHandle();
    }
    if (!icon) icon = Application().IconHandle();
    return icon;
}

void TTrayIcon_::IconChanged() {
    if (added_ && (!animating_ || animationUpdate_)) NotifyShell(opModify);
}

void TTrayIcon_::NotifyShell(TNotifyOperation operation) {
    if (!notifyData_) return;
    NOTIFYICONDATAA& d = *notifyData_;
    auto CallShell = [&d](DWORD message) { return shellNotify(message, &d) != FALSE; };
    d.hIcon = animating_ && animationWorker_ ? animationWorker_->Frame.Handle() : CurrentIconHandle();
    const bool balloon = operation == opBalloonShow || operation == opBalloonHide;
    const bool state = operation == opStateShow || operation == opStateHide;
    if (shellMajor_ >= 5 && balloon) {
        d.uFlags = NIF_MESSAGE | NIF_INFO;
        d.uTimeout = balloonTimeout_ * 1000u;
        std::memset(d.szInfoTitle, 0, sizeof d.szInfoTitle);
        std::memset(d.szInfo, 0, sizeof d.szInfo);
        if (operation == opBalloonShow) {
            CopyField(d.szInfoTitle, sizeof d.szInfoTitle, balloonTitle_, kTitleBytes);
            // An empty text would take the balloon down instead of showing it.
            CopyField(d.szInfo, sizeof d.szInfo, balloonText_.empty() ? std::string(" ") : balloonText_, kTextBytes);
            d.dwInfoFlags = balloonIcon_;
        }
    } else if (shellMajor_ >= 5 && state) {
        d.uFlags = NIF_STATE;
        d.dwState = operation == opStateHide ? NIS_HIDDEN : 0;
        d.dwStateMask = NIS_HIDDEN | NIS_SHAREDICON;
    } else {
        CopyField(d.szTip, sizeof d.szTip, tipHelp_, kTipBytes);
        d.uFlags = tipHelp_.empty() ? NIF_MESSAGE | NIF_ICON : NIF_MESSAGE | NIF_ICON | NIF_TIP;
    }

    switch (operation) {
    case opAdd: {
        if (!visible_) return;
        TCallbackWindow* window = Unit().callbackWindow.get();
        d.hWnd = window ? window->Handle() : nullptr;
        if (!d.hWnd) throw ENotifyIconError(kCannotRegister);
        // A busy shell may time out and still add the icon: ask it before trying again.
        for (int retries = 0;; ++retries) {
            if (CallShell(NIM_ADD)) break;
            if (!isXPOrLater_ || GetLastError() != ERROR_TIMEOUT || retries >= 5)
                throw ENotifyIconError(kCannotRegister);
            Sleep(100);
            if (CallShell(NIM_MODIFY)) break;
        }
        added_ = true;
        return;
    }
    case opModify:
        if (!CallShell(NIM_MODIFY)) throw ENotifyIconError(kCannotRegister);
        return;
    case opDelete:
        CallShell(NIM_DELETE);
        added_ = false;
        return;
    case opBalloonShow:
        if (!visible_) {
            SetVisible(true);
            if (visible_) NotifyShell(opBalloonShow);
            return;
        }
        if (!CallShell(NIM_MODIFY)) throw ENotifyIconError(kCannotSwitchBalloon);
        return;
    case opBalloonHide:
        if (!visible_) return;
        if (!CallShell(NIM_MODIFY)) throw ENotifyIconError(kCannotSwitchBalloon);
        return;
    case opStateShow:
    case opStateHide:
        if (!CallShell(NIM_MODIFY)) throw ENotifyIconError(kCannotSwitchDisplay);
        return;
    }
}

// After the notification area was made anew, no icon is registered any more.
void TTrayIcon_::Reregister() {
    added_ = false;
    if (!visible_) return;
    try {
        NotifyShell(opAdd);
    } catch (const ENotifyIconError&) {
        // The message also follows changes that keep the icons (a display change, for one):
        // an icon the shell still has takes an update.
        NotifyShell(opModify);
        added_ = true;
    }
}

void ReregisterAll() {
    std::vector<TTrayIcon_*> icons;
    for (const TrayIconEntry& e : Unit().list) icons.push_back(e.Icon);
    std::exception_ptr failure;
    for (TTrayIcon_* icon : icons) {
        if (!IsLive(icon)) continue;
        try {
            icon->Reregister();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    // The others are registered again all the same; the first failure is reported.
    if (failure) std::rethrow_exception(failure);
}

// ---- animation -------------------------------------------------------------------------

void TTrayIcon_::StartAnimation() {
    if (animating_ || !animateIcons_ || animateIcons_->Count() == 0) return;
    TCallbackWindow* window = Unit().callbackWindow.get();
    HWND hwnd = window ? window->Handle() : nullptr;
    if (!hwnd) return;
    animationWorker_ = std::make_unique<TTrayAnimation>(hwnd, iconId_, animateRate_);
    animationWorker_->Frame.SetHandle(animateIcons_->GetIcon(0));
    animating_ = true;
    animationWorker_->Resume();
    ShowFrame();
}

void TTrayIcon_::StopAnimation() {
    if (!animationWorker_) return;
    animationWorker_.reset();
    animating_ = false;
    IconChanged();
}

void TTrayIcon_::AnimationStep() {
    if (!animating_ || !animationWorker_ || !animateIcons_) return;
    TTrayAnimation& worker = *animationWorker_;
    const int count = animateIcons_->Count();
    if (count > 0) {
        worker.FrameIndex = (worker.FrameIndex + 1) % count;
        worker.Frame.SetHandle(animateIcons_->GetIcon(worker.FrameIndex));
        ShowFrame();
    }
    worker.StepPending = false;
}

void TTrayIcon_::ShowFrame() {
    animationUpdate_ = true;
    try {
        IconChanged();
    } catch (...) {
        // The shell refused this frame and would refuse the next ones too, each raising the
        // same error (and the box that reports one lets the next step run): stop here, once.
        animationUpdate_ = false;
        animationWorker_.reset();
        animating_ = false;
        throw;
    }
    animationUpdate_ = false;
}

// ---- callback window ----------------------------------------------------------------------

TCallbackWindow::TCallbackWindow(TWinControl* parentForm) : TWinControl(nullptr) {
    SetParent(parentForm);
    BindMessage(TrayCallbackMessage, [this](TMessage& m) { TrayCallback(m); });
    BindMessage(ClickTimeoutMessage, [this](TMessage&) { ClickTimeout(nullptr); });
    BindMessage(AnimationStepMessage, [](TMessage& m) {
        if (TTrayIcon_* icon = FindIcon(std::to_string(static_cast<unsigned long long>(m.WParam))))
            icon->AnimationStep();
    });
}

// Message-only windows exist from Windows 2000 on; before that (the 9x line, NT 4.0) a
// hidden, unowned top-level popup window does their work.
static bool MessageOnlyWindowsExist() {
    const OsVersionRecord v = QueryOsVersion();
    return v.ok && v.platformId == VER_PLATFORM_WIN32_NT && v.major >= 5;
}

void TCallbackWindow::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ClassName = "TCallbackWindow";
    if (!Parent()) {
        params.Style = 0;
        params.WndParent = HWND_MESSAGE;
        if (!MessageOnlyWindowsExist()) {
            params.Style = WS_POPUP;
            params.WndParent = nullptr;
        }
    }
}

void TCallbackWindow::ForgetComponent(TComponent* component, TOperation operation) {
    // The form's window is about to go, and this one with it unless it moves: the
    // icons keep their registration with this window's handle.
    if (operation == TOperation::opRemove && component == Parent() && HandleAllocated()) {
        HWND window = Handle();
        if (MessageOnlyWindowsExist()) {
            ::SetParent(window, HWND_MESSAGE);
        } else {
            ShowWindow(window, SW_HIDE);
            ::SetParent(window, nullptr);
            SetWindowLongA(window, GWL_STYLE, (GetWindowLongA(window, GWL_STYLE) & ~WS_CHILD) | WS_POPUP);
        }
    }
    TWinControl::ForgetComponent(component, operation);
}

void TCallbackWindow::TrayCallback(TMessage& message) {
    message.Result = 0;
    TTrayIcon_* icon = FindIcon(std::to_string(static_cast<unsigned long long>(message.WParam)));
    if (!icon) return;
    CurrentIcon = icon;
    if (!icon->enabled_) return;
    POINT p{};
    GetCursorPos(&p);
    const int x = p.x, y = p.y;
    switch (message.LParam) {
    case WM_MOUSEMOVE:
        if (icon->OnMouseMove) icon->OnMouseMove(icon, 0, x, y);
        break;
    case WM_LBUTTONDOWN:
        if (icon->lbPopupMenu_ && icon->autoPopup_) {
            OpenMenu(icon, true, x, y);
        } else if (icon->OnMouseDown) {
            icon->OnMouseDown(icon, mbLeft, ssLeft, x, y);
        }
        break;
    case WM_LBUTTONUP:
        ActivateActiveForm();
        if (icon->OnMouseUp) {
            icon->OnMouseUp(icon, mbLeft, ssLeft, x, y);
        } else if (!icon->OnClick) {
            icon->clickPending_ = false;
        } else if (icon->clickPending_) {
            icon->clickPending_ = false;  // the second button-up of a double click
        } else {
            icon->clickPending_ = true;
            if (!TSingleClick::Start(Handle())) ClickTimeout(nullptr);
        }
        break;
    case WM_LBUTTONDBLCLK:
        icon->clickPending_ = true;
        if (icon->OnDblClick) icon->OnDblClick(icon);
        break;
    case WM_RBUTTONDOWN:
        if (icon->rbPopupMenu_ && icon->autoPopup_) {
            OpenMenu(icon, false, x, y);
        } else if (icon->OnMouseDown) {
            icon->OnMouseDown(icon, mbRight, ssRight, x, y);
        }
        break;
    case WM_RBUTTONUP:
        ActivateActiveForm();
        if (icon->OnMouseUp) icon->OnMouseUp(icon, mbRight, ssRight, x, y);
        break;
    case WM_MBUTTONDOWN:
        if (icon->OnMouseDown) icon->OnMouseDown(icon, mbMiddle, ssMiddle, x, y);
        break;
    case WM_MBUTTONUP:
        ActivateActiveForm();
        if (icon->OnMouseUp) icon->OnMouseUp(icon, mbMiddle, ssMiddle, x, y);
        break;
    case NIN_BALLOONSHOW:
        if (icon->OnBalloonShow) icon->OnBalloonShow(icon);
        break;
    case NIN_BALLOONHIDE:
        if (icon->OnBalloonHide) icon->OnBalloonHide(icon);
        break;
    case NIN_BALLOONTIMEOUT:
        if (icon->OnBalloonTimeout) icon->OnBalloonTimeout(icon);
        break;
    case NIN_BALLOONUSERCLICK:
        if (icon->OnBalloonClick) icon->OnBalloonClick(icon);
        break;
    default:
        break;
    }
}

void TCallbackWindow::OpenMenu(TTrayIcon_* icon, bool left, int x, int y) {
    if (auto* form = dynamic_cast<TForm*>(icon->Owner())) {
        // Without the foreground the menu would not close when the user clicks elsewhere.
        if (HWND h = form->Handle()) SetForegroundWindow(h);
        Application().ProcessMessages();
        if (!IsLive(icon)) return;  // whatever ran meanwhile may have freed it
    }
    TPopupMenu* menu = left ? icon->lbPopupMenu_ : icon->rbPopupMenu_;
    if (menu) menu->Popup(x, y);
}

void TCallbackWindow::ActivateActiveForm() {
    TForm* form = Application().ActiveForm();
    if (form && CurrentIcon && CurrentIcon->formActiveByMouseup_) {
        if (HWND h = form->Handle()) SetForegroundWindow(h);
    }
}

void TCallbackWindow::ClickTimeout(TObject*) {
    TTrayIcon_* icon = CurrentIcon;
    if (!icon) return;
    if (icon->OnClick && icon->clickPending_) icon->OnClick(icon);
    if (IsLive(icon)) icon->clickPending_ = false;
}

// ---- single-click worker ----------------------------------------------------------------

bool TSingleClick::Start(HWND window) {
    auto* worker = new TSingleClick(window);
    worker->FreeOnTerminate = true;
    if (!worker->Created()) {
        delete worker;
        return false;
    }
    worker->Resume();  // from here on it belongs to itself
    return true;
}

void TSingleClick::Execute() { Sleep(GetDoubleClickTime() + 50); }

void TSingleClick::DoTerminate() { PostMessageA(window_, TCallbackWindow::ClickTimeoutMessage, 0, 0); }
