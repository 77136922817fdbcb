// The manager window inside the test program: its handlers driven directly, message
// boxes recorded, the notification area recorded instead of the shell.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "environment/StrUtils.h"
#include "excel/ExcelFacts.h"
#include "excel/ExcelLocation.h"
#include "manager/Settings.h"
#include "manager/TorvaMan1.h"
#include "support/ExcelStandIn.h"
#include "support/Installation.h"
#include "support/ManagerSupport.h"
#include "support/TraySupport.h"
#include "ui/AppHandle.h"

using ts::Installation;

namespace {

class Manager : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Application().Initialize(); }

    // Creates and shows the window, then lets its first paint run and the start finish.
    void Open() {
        Application().ClearTerminated();
        form_ = std::make_unique<TManagerForm>(nullptr);
        Application().SetMainForm(form_.get());
        if (form_->Ending()) return;
        form_->SetForm();
        PumpUntil([&] { return form_->StartFinished() || form_->Ending(); });
    }
    template <class Fn>
    static bool PumpUntil(Fn fn, DWORD ms = 5000) {
        const DWORD end = GetTickCount() + ms;
        while (!fn()) {
            if (static_cast<int>(end - GetTickCount()) <= 0) return false;
            ts::PumpMessages(10);
        }
        return true;
    }
    // The tip of the last call that carried one.
    std::string LastTip() const {
        for (auto it = shell_.calls.rbegin(); it != shell_.calls.rend(); ++it)
            if (it->uFlags & NIF_TIP) return it->tip;
        return "";
    }
    void TearDown() override {
        form_.reset();
        ts::PumpMessages(20);
        Application().ClearTerminated();
    }

    ts::ShellRecorder shell_;
    ts::MessageBoxRecorder boxes_;
    std::unique_ptr<TManagerForm> form_;
};

}  // namespace

TEST_F(Manager, TheRefreshShowsTheStateInPanelTrayAndFlags) {
    Installation inst(Installation::Options().Registered());
    Open();
    TManagerForm& f = *form_;
    EXPECT_EQ(ts::kRegisteredText, f.Panel1->Text());
    EXPECT_EQ("TorvaEAはアドイン登録されてます。", LastTip());
    EXPECT_EQ(1, shell_.Count(NIM_ADD));
    EXPECT_TRUE(RegisterSelected);
    EXPECT_TRUE(AddinRegistered);
    EXPECT_EQ(inst.Installed(), f.ExcelEdt->Text());
    EXPECT_EQ(inst.Parked(), f.TorvaEdt->Text());
    EXPECT_TRUE(f.EnableBtn->Down());
    EXPECT_FALSE(f.UnEnableBtn->Down());
    EXPECT_TRUE(f.UnEnableBtn->ShowHint());
    EXPECT_FALSE(f.EnableBtn->ShowHint());
    // The hints shown, those of UnEnableBtn and ExpChk, joined the hint window after the first paint.
    EXPECT_EQ(2, SendMessageA(Application().ExistingHintWindow(), TTM_GETTOOLCOUNT, 0, 0));
    EXPECT_EQ(HandCursor(), f.UnEnableBtn->Cursor());
    EXPECT_EQ(nullptr, f.EnableBtn->Cursor());
    EXPECT_EQ("Torvaマネージャ", Application().Title);
    EXPECT_EQ(50000, Application().HintHidePause());

    // The workbook is withdrawn behind the window's back: the next refresh shows it.
    ASSERT_TRUE(DeleteFileA(inst.Installed().c_str()));
    f.FormShow();
    EXPECT_EQ(ts::kRemovedText, f.Panel1->Text());
    EXPECT_EQ("TorvaEAはアドイン解除されてます。", LastTip());
    EXPECT_FALSE(RegisterSelected);
    EXPECT_FALSE(AddinRegistered);
    EXPECT_TRUE(f.UnEnableBtn->Down());
    EXPECT_FALSE(f.EnableBtn->Down());
    EXPECT_EQ(HandCursor(), f.EnableBtn->Cursor());
    EXPECT_FALSE(f.OKBtn->Enabled());
    EXPECT_TRUE(boxes_.calls().empty());
}

TEST_F(Manager, ARefreshDoesNotMakeTheWindowPaintAgain) {
    Installation inst(Installation::Options().Registered());
    Open();
    ts::PumpMessages(300);
    const int settled = form_->RefreshCount();
    ts::PumpMessages(500);
    EXPECT_EQ(settled, form_->RefreshCount());
    // A repaint refreshes once, and resets a choice not yet applied.
    form_->UnEnableBtn->Click();
    EXPECT_TRUE(form_->OKBtn->Enabled());
    InvalidateRect(form_->Handle(), nullptr, TRUE);
    ts::PumpMessages(300);
    EXPECT_EQ(settled + 1, form_->RefreshCount());
    EXPECT_TRUE(form_->EnableBtn->Down());
    EXPECT_FALSE(form_->OKBtn->Enabled());
}

TEST_F(Manager, HiddenControlsGetAWindowOnlyWhenShownOrAskedFor) {
    Installation inst(Installation::Options().Registered());
    Open();
    TManagerForm& f = *form_;
    EXPECT_FALSE(f.CloseEdt->HandleAllocated());
    EXPECT_FALSE(f.ExcelEdt->HandleAllocated());
    EXPECT_EQ(inst.Installed(), f.ExcelEdt->Text());  // the refresh still keeps its text
    f.CloseEdt->SetControlVisible(true);
    ASSERT_TRUE(f.CloseEdt->HandleAllocated());
    EXPECT_TRUE(IsWindowVisible(f.CloseEdt->Handle()));
    EXPECT_EQ(f.GroupBox1->Handle(), GetParent(f.CloseEdt->Handle()));
    // Asked for while hidden: made with the text it holds, and still hidden.
    EXPECT_EQ(inst.Parked(), ts::WindowText(f.TorvaEdt->Handle()));
    EXPECT_FALSE(IsWindowVisible(f.TorvaEdt->Handle()));
}

TEST_F(Manager, ARefreshPutsBackTextsChangedBehindItsBack) {
    Installation inst(Installation::Options().Registered());
    Open();
    TManagerForm& f = *form_;
    // Typing into an edit sends no WM_SETTEXT; another program's WM_SETTEXT does.
    HWND edit = f.ExcelEdt->Handle();
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("typed"));
    SendMessageA(f.Panel1->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("set from outside"));
    ASSERT_EQ("typed", f.ExcelEdt->Text());
    f.FormShow();
    EXPECT_EQ(inst.Installed(), f.ExcelEdt->Text());
    EXPECT_EQ(ts::kRegisteredText, f.Panel1->Text());
}

TEST_F(Manager, ChoosingEnablesTheApplyButtonOnlyForAChange) {
    Installation inst;
    Open();
    TManagerForm& f = *form_;
    ASSERT_TRUE(CanWriteAssociation);
    EXPECT_FALSE(f.ExpChk->Enabled());  // removed: nothing to associate
    EXPECT_FALSE(f.OKBtn->Enabled());

    f.EnableBtn->Click();
    EXPECT_TRUE(f.EnableBtn->Down());
    EXPECT_FALSE(f.UnEnableBtn->Down());
    EXPECT_TRUE(RegisterSelected);
    EXPECT_TRUE(f.ExpChk->Checked());  // the association is proposed with it
    EXPECT_TRUE(f.ExpChk->Enabled());
    EXPECT_TRUE(f.OKBtn->Enabled());
    EXPECT_TRUE(f.UnEnableBtn->ShowHint());
    EXPECT_FALSE(f.EnableBtn->ShowHint());

    // Once chosen, choosing again proposes nothing new.
    f.ExpChk->SetChecked(false);
    f.EnableBtn->Click();
    EXPECT_FALSE(f.ExpChk->Checked());
    EXPECT_TRUE(f.OKBtn->Enabled());

    f.UnEnableBtn->Click();
    EXPECT_TRUE(f.UnEnableBtn->Down());
    EXPECT_FALSE(f.EnableBtn->Down());
    EXPECT_FALSE(RegisterSelected);
    EXPECT_FALSE(f.ExpChk->Checked());
    EXPECT_FALSE(f.ExpChk->Enabled());
    EXPECT_FALSE(f.OKBtn->Enabled());  // back to what was found
    EXPECT_TRUE(f.EnableBtn->ShowHint());
    EXPECT_EQ(HandCursor(), f.EnableBtn->Cursor());

    // The association alone is a change as well.
    f.ExpChk->SetChecked(true);
    EXPECT_TRUE(f.OKBtn->Enabled());
}

TEST_F(Manager, WithoutWriteAccessTheAssociationBoxStaysDisabled) {
    Installation inst;
    Open();
    TManagerForm& f = *form_;
    // As creation leaves it when this user may not write the association.
    CanWriteAssociation = false;
    f.ExpChk->SetEnabled(false);
    f.EnableBtn->Click();
    EXPECT_FALSE(f.ExpChk->Enabled());
    EXPECT_FALSE(f.ExpChk->Checked());
    f.StateTorva(0, "TorvaEA");
    EXPECT_FALSE(f.ExpChk->Enabled());
    f.UnEnableBtn->Click();
    EXPECT_FALSE(f.ExpChk->Enabled());
}

TEST_F(Manager, ApplyingARemovalWithdrawsTheWorkbook) {
    Installation inst(Installation::Options().Registered());
    Open();
    form_->UnEnableBtn->Click();
    form_->OKBtn->Click();
    ASSERT_EQ(1u, boxes_.calls().size());
    const auto& box = boxes_.calls()[0];
    EXPECT_EQ(ApplicationHandle(), box.owner);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), box.flags);
    EXPECT_EQ("TorvaEAマネージャー", box.caption);
    EXPECT_EQ("TorvaEAのアドインを解除しました。\r\rこの設定は次回Excel起動時から有効になります。\r\r", box.text);
    EXPECT_FALSE(inst.Registered());
    EXPECT_TRUE(ts::FileExists(inst.Parked()));
    EXPECT_EQ(ts::kRemovedText, form_->Panel1->Text());
    EXPECT_FALSE(form_->OKBtn->Enabled());
}

// An Office folder that refuses this user new files and holds none: the copy goes into the user's own
// start-up folder, and the association is made as any other. Beside an administrator's copy in another
// Office's folder it could not be: Explorer would call macros that are not there, or that Excel finds twice.
TEST_F(Manager, AnAssociationWithoutTorvaXlaWhereEveryExcelFindsItOnceIsNotMadeAndTheFolderNamed) {
    Installation inst(Installation::Options().Registered());
    const std::string takes = inst.AddOffice(9);
    const std::string aside = inst.AddVirtualizedOffice(16);
    ASSERT_FALSE(aside.empty());
    Open();
    form_->ExpChk->SetChecked(true);
    form_->OKBtn->Click();
    ASSERT_EQ(1u, boxes_.calls().size());
    EXPECT_EQ("エクスプローラとの関連づけを有効にしました\r\r", boxes_.calls()[0].text);
    EXPECT_EQ("TORVA.XLA BYTES", ts::ReadFileBytes(inst.UsersTorvaXla()));
    EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand("Excel.Sheet.5"));

    // Wine shows no user's classes through the classes root, so the window finds no association to keep.
    const std::string held = inst.AddOffice(11);
    ASSERT_TRUE(ts::WriteFileBytes(held + excel::kProductWorkbook, "ADMIN'S"));
    inst.RefuseNewFiles(held);
    form_->ExpChk->SetChecked(true);
    form_->OKBtn->Click();
    ASSERT_EQ(2u, boxes_.calls().size());
    const auto& box = boxes_.calls()[1];
    EXPECT_EQ(ApplicationHandle(), box.owner);
    EXPECT_EQ("Torvaマネージャ", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), box.flags);
    EXPECT_EQ("エクスプローラとの関連づけはできませんでした。\r\r"
              "次のフォルダにTorva.xlaを置くには管理者の権限が必要です。\r" + aside +
                  "\r\rTorvaマネージャを管理者として実行してください。\r\r",
              box.text);
    // Left as a dissociation leaves it, with the administrator's copy where it was.
    EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand("Excel.Sheet.5"));
    EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand(excel::kCsv));
    EXPECT_FALSE(ts::FileExists(takes + excel::kProductWorkbook));
    EXPECT_EQ("ADMIN'S", ts::ReadFileBytes(held + excel::kProductWorkbook));
    EXPECT_FALSE(ts::FileExists(inst.UsersTorvaXla()));
    EXPECT_FALSE(form_->ExpChk->Checked());

    const std::string source = inst.ProductFolder() + excel::kProductWorkbook;
    DeleteFileA(source.c_str());
    form_->ExpChk->SetChecked(true);
    form_->OKBtn->Click();
    ASSERT_EQ(3u, boxes_.calls().size());
    EXPECT_EQ("エクスプローラとの関連づけはできませんでした。\r\r製品フォルダにTorva.xlaがありません。\r" + source + "\r\r",
              boxes_.calls()[2].text);
    EXPECT_EQ(excel::kPlainOpenCommand, Installation::DdeCommand("Excel.Sheet.5"));
}

TEST_F(Manager, ARunningExcelRefusesTheRemoval) {
    Installation inst(Installation::Options().Registered());
    ts::ScopedExcelProgIds ids({"Excel.Application.5"});
    ts::ExcelStandIn excel;
    ts::ExcelStandIn::Options o;
    o.window = false;  // only the automation object tells that it runs
    ASSERT_TRUE(excel.StartWith(o));
    Open();
    TManagerForm& f = *form_;

    // Apply is refused at once.
    f.UnEnableBtn->Click();
    f.OKBtn->Click();
    ASSERT_EQ(1u, boxes_.calls().size());
    EXPECT_EQ("Torvaマネージャ", boxes_.calls()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes_.calls()[0].flags);
    EXPECT_TRUE(f.UnEnableBtn->Down());  // the choice stays

    // The switch itself refuses too, and puts the choice back to registering.
    f.Torva1Click(nullptr);
    ASSERT_EQ(2u, boxes_.calls().size());
    const auto& box = boxes_.calls()[1];
    EXPECT_EQ("TorvaEAのアドインを解除できません", box.caption);
    EXPECT_EQ("TorvaEAが動作中のため\rTorvaのアドインを解除することができませんでした。\r\r"
              "Excelを終了してから再度この操作をおこなってください。\r\r",
              box.text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), box.flags);
    EXPECT_TRUE(f.EnableBtn->Down());
    EXPECT_FALSE(f.UnEnableBtn->Down());
    EXPECT_TRUE(inst.Registered());
    excel.Kill();
}

TEST_F(Manager, AFailedSwitchEndsTheProgramAfterTheRefresh) {
    Installation inst;
    ASSERT_TRUE(CreateDirectoryA(inst.Installed().c_str(), nullptr));
    Open();
    const int before = form_->RefreshCount();
    form_->EnableBtn->Click();
    form_->ExpChk->SetChecked(false);
    form_->OKBtn->Click();
    ASSERT_EQ(1u, boxes_.calls().size());
    EXPECT_EQ("システムエラー", boxes_.calls()[0].caption);
    EXPECT_EQ(before + 1, form_->RefreshCount());  // the apply still refreshed
    EXPECT_FALSE(Application().Terminated());      // ...before the window closes
    PumpUntil([] { return Application().Terminated(); });
    EXPECT_TRUE(Application().Terminated());
    RemoveDirectoryA(inst.Installed().c_str());
}

TEST_F(Manager, ABrokenInstallationIsReportedOnce) {
    Installation inst(Installation::Options().WithoutProductDir());
    int iconsWhileShown = 0;  // the icon, otherwise added after the first paint, is there meanwhile
    boxes_.onShow = [&](const ts::MessageBoxRecorder::Call&) { iconsWhileShown = shell_.Count(NIM_ADD); };
    Open();
    EXPECT_EQ(1, iconsWhileShown);
    ASSERT_EQ(1u, boxes_.calls().size());
    EXPECT_EQ(ApplicationHandle(), boxes_.calls()[0].owner);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes_.calls()[0].flags);
    EXPECT_EQ("TorvaEAマネージャー起動エラー", boxes_.calls()[0].caption);
    EXPECT_FALSE(form_->Visible());
    EXPECT_TRUE(PumpUntil([] { return Application().Terminated(); }));
    // Later paints add nothing.
    form_->FormShow();
    EXPECT_EQ(1u, boxes_.calls().size());
}

TEST_F(Manager, AMissingStartupFolderIsMadeAndAnImpossibleOneEndsTheProgram) {
    {
        Installation inst(Installation::Options().WithoutXlStart());
        Open();
        EXPECT_TRUE(boxes_.calls().empty());
        const DWORD attributes = GetFileAttributesA(inst.XlStartFolder().c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
        form_.reset();
    }
    Installation inst;
    // The Excel folder lies under a file: its start-up folder can never be made.
    const std::string blocker = inst.ExcelFolder() + "file";
    ts::WriteFileBytes(blocker, "x");
    ts::WriteSettingsFile(inst.SettingsPath(), "[NewEnv]\r\nExcelDir=" + blocker + "\\Excel\r\n[GenDir]\r\nDir=" +
                                                   inst.ProductFolder() + "\r\n");
    const int iconsBefore = shell_.Count(NIM_ADD);
    int iconsWhileShown = 0;
    boxes_.onShow = [&](const ts::MessageBoxRecorder::Call&) { iconsWhileShown = shell_.Count(NIM_ADD); };
    Open();
    EXPECT_EQ(iconsBefore + 1, iconsWhileShown);
    ASSERT_EQ(1u, boxes_.calls().size());
    EXPECT_EQ("システムエラー", boxes_.calls()[0].caption);
    EXPECT_EQ("Excelフォルダがみつかりませんでした。\rTorvaマネージャを強制終了します。", boxes_.calls()[0].text);
    EXPECT_TRUE(form_->Ending());
    EXPECT_FALSE(form_->Visible());
}

TEST_F(Manager, MinimisingLeavesTheTrayIconAndItsMenuBringsTheWindowBackOrQuits) {
    Installation inst(Installation::Options().Registered());
    Open();
    TManagerForm& f = *form_;
    ASSERT_TRUE(f.Visible());
    SendMessageA(f.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(f.Visible());
    EXPECT_TRUE(Application().Minimized());
    EXPECT_FALSE(Application().ShowMainForm);
    EXPECT_EQ(0, shell_.Count(NIM_DELETE));
    ASSERT_NE(nullptr, f.TaskTray1);
    EXPECT_TRUE(f.TaskTray1->Added());
    EXPECT_EQ(f.PopupMenu1, f.TaskTray1->RBPopupMenu());

    ASSERT_EQ(3, f.PopupMenu1->Count());
    EXPECT_EQ("Torvaマネージャを表示", f.Torva3->Caption());
    EXPECT_EQ("-", f.N2->Caption());
    EXPECT_EQ("常駐Torvaマネージャ終了", f.N1->Caption());
    f.Torva3->Click();
    EXPECT_TRUE(f.Visible());
    EXPECT_FALSE(Application().Minimized());
    EXPECT_FALSE(IsWindowVisible(Application().Handle()));

    f.N1->Click();
    EXPECT_FALSE(f.Visible());
    EXPECT_TRUE(Application().Terminated());
}

// A window that is never painted (one started minimised hides itself; one covered at its start is
// not drawn where the desktop has no composition) still gets its icon, or nothing would be left.
TEST_F(Manager, AWindowThatIsNeverPaintedStillGetsItsTrayIcon) {
    Installation inst(Installation::Options().Registered());
    Application().ClearTerminated();
    form_ = std::make_unique<TManagerForm>(nullptr);
    Application().SetMainForm(form_.get());
    ASSERT_FALSE(form_->Ending());
    EXPECT_TRUE(PumpUntil([&] { return form_->StartFinished(); }));  // never shown
    EXPECT_EQ(0, form_->RefreshCount());
    EXPECT_FALSE(IsWindowVisible(form_->Handle()));
    ASSERT_NE(nullptr, form_->TaskTray1);
    EXPECT_TRUE(form_->TaskTray1->Added());
    EXPECT_EQ(1, shell_.Count(NIM_ADD));
    EXPECT_EQ("Torvaマネージャ", LastTip());  // the caption, until a refresh finds the state
}

TEST_F(Manager, ANotificationAreaThatStopsAnsweringIsReportedOnceAndTheWindowWorks) {
    Installation inst(Installation::Options().Registered());
    // The icon is added; every later change of it times out, as at a busy log-on.
    shell_.FailWith = [](const ts::ShellCall& c, size_t) { return c.message == NIM_MODIFY ? DWORD(ERROR_TIMEOUT) : 0; };
    Open();
    ASSERT_TRUE(form_);
    ASSERT_EQ(1u, boxes_.calls().size());
    EXPECT_EQ("タスクトレイにアイコンを登録できません。", boxes_.calls()[0].text);
    EXPECT_EQ(ApplicationHandle(), boxes_.calls()[0].owner);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes_.calls()[0].flags);
    EXPECT_EQ(ts::kRegisteredText, form_->Panel1->Text());
    // A refresh whose tip changes fails again, silently.
    ASSERT_TRUE(DeleteFileA(inst.Installed().c_str()));
    form_->FormShow();
    EXPECT_EQ(ts::kRemovedText, form_->Panel1->Text());
    EXPECT_GE(shell_.Count(NIM_MODIFY), 2);
    EXPECT_EQ(1u, boxes_.calls().size());
}

TEST_F(Manager, ARepaintWhileTheAddinMessageIsOpenKeepsTheAssociationChoice) {
    Installation inst;
    Open();
    form_->EnableBtn->Click();  // proposes the association as well
    ASSERT_TRUE(form_->ExpChk->Checked());
    // The user moves the first box: the window below is painted, which refreshes it.
    boxes_.onShow = [&](const ts::MessageBoxRecorder::Call&) {
        if (boxes_.calls().size() == 1) RedrawWindow(form_->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    };
    const int before = form_->RefreshCount();
    form_->OKBtn->Click();
    ASSERT_GT(form_->RefreshCount(), before + 1);  // the paint did refresh during the box
    ASSERT_EQ(1u, boxes_.calls().size());           // the add-in message only
    EXPECT_EQ("TorvaEAマネージャー", boxes_.calls()[0].caption);
    EXPECT_TRUE(inst.Registered());
    EXPECT_EQ(excel::kAssociatedCommand, Installation::DdeCommand("Excel.Sheet.5"));
}

TEST_F(Manager, TheRunningTestOfExcel12AndLaterAsksUnderTheName8) {
    Installation inst(Installation::Options().Registered());
    ts::ScopedExcelProgIds ids({"Excel.Application.8"});
    ts::ExcelStandIn excel;
    ts::ExcelStandIn::Options o;
    o.window = false;
    ASSERT_TRUE(excel.StartWith(o));
    Open();
    EXPECT_TRUE(form_->IsRunExcel(12));
    EXPECT_TRUE(form_->IsRunExcel(14));
    EXPECT_FALSE(form_->IsRunExcel(11));
    excel.Kill();
}

// ---- display scale ---------------------------------------------------------------------

namespace {

// Where a control lies in its parent's client area.
RECT PlaceOf(TWinControl* control) {
    RECT r{};
    GetWindowRect(control->Handle(), &r);
    MapWindowPoints(nullptr, control->Parent()->Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE TextSize(HDC dc, HFONT font, const std::string& text) {
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    return size;
}

// The size of a control's text in its own font.
SIZE TextSize(TWinControl* control) {
    const HWND h = control->Handle();
    const HDC dc = GetDC(h);
    const SIZE size = TextSize(dc, control->Font(), control->Text());
    ReleaseDC(h, dc);
    return size;
}

int ClientWidth(TWinControl* control) {
    RECT r{};
    GetClientRect(control->Handle(), &r);
    return r.right;
}

// The width of an icon resource's image that Windows takes for a square of Size pixels.
int IconImageFor(HMODULE module, const char* name, int size) {
    HRSRC group = FindResourceA(module, name, reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
    if (!group) return 0;
    auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
    const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
    HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_ICON));
    if (!image) return 0;
    return static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, image)))->biWidth;
}

}  // namespace

// Run at 96 dpi here, and at 120, 144, 168 and 192 by the test below.
TEST_F(Manager, TheLayoutFollowsTheDisplayScaleAndEveryTextFits) {
    int dpi;
    {
        const TScreenDC screen;
        dpi = GetDeviceCaps(screen.Handle(), LOGPIXELSY);
    }
    if (const int asked = ts::DpiOfThisRun()) {
        ASSERT_EQ(asked, dpi) << "Wine did not give this process LogPixels";
    }
    const auto scaled = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
    Installation inst(Installation::Options().Registered());
    Open();
    TManagerForm& f = *form_;
    // The test program has no resources: the glyphs come from the program's own.
    const UniqueModule resources(LoadLibraryExA(ts::ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const HMODULE program = resources.get();
    ASSERT_NE(nullptr, program);
    ASSERT_TRUE(f.SpeedButton1->LoadGlyph(program, "GLYPH_HELP", 2));
    ASSERT_TRUE(f.UnEnableBtn->LoadGlyph(program, "GLYPH_REMOVE"));
    ASSERT_TRUE(f.EnableBtn->LoadGlyph(program, "GLYPH_REGISTER"));

    RECT client{};
    GetClientRect(f.Handle(), &client);
    EXPECT_EQ(scaled(235), client.right);
    EXPECT_EQ(scaled(304), client.bottom);

    struct Placed {
        const char* name;
        TWinControl* control;
        int left, top, width, height, font;
    };
    const Placed layout[] = {
        {"SpeedButton1", f.SpeedButton1, 205, 249, 24, 30, -11}, {"GroupBox1", f.GroupBox1, 2, 7, 231, 236, -12},
        {"UnEnableBtn", f.UnEnableBtn, 122, 19, 98, 62, -12},    {"EnableBtn", f.EnableBtn, 10, 19, 98, 62, -12},
        {"ExpChk", f.ExpChk, 14, 125, 161, 19, -12},             {"Panel2", f.Panel2, 6, 151, 218, 26, -11},
        {"Panel1", f.Panel1, 8, 95, 218, 26, -11},               {"OKBtn", f.OKBtn, 8, 196, 218, 37, -11},
        {"BitBtn1", f.BitBtn1, 112, 249, 88, 30, -11},
    };
    for (const Placed& p : layout) {
        SCOPED_TRACE(p.name);
        const RECT r = PlaceOf(p.control);
        EXPECT_EQ(scaled(p.left), r.left);
        EXPECT_EQ(scaled(p.top), r.top);
        EXPECT_EQ(scaled(p.width), r.right - r.left);
        EXPECT_EQ(scaled(p.height), r.bottom - r.top);
        LOGFONTA font{};
        ASSERT_TRUE(GetObjectA(p.control->Font(), sizeof font, &font));
        EXPECT_EQ(scaled(p.font), font.lfHeight);
    }

    // Glyphs at the scaled size (stretched at 175 %); at 125, 150 and 200 % each drawn for its
    // scale, and at those and 100 % an icon image of the small-icon size itself for the caption
    // and the notification area.
    EXPECT_EQ(scaled(16), f.SpeedButton1->GlyphWidth());
    EXPECT_EQ(scaled(16), f.SpeedButton1->GlyphHeight());
    EXPECT_EQ(scaled(32), f.EnableBtn->GlyphWidth());
    EXPECT_EQ(scaled(32), f.UnEnableBtn->GlyphHeight());
    const int small = GetSystemMetrics(SM_CXSMICON);
    const bool drawnFor = dpi == 96 || dpi == 120 || dpi == 144 || dpi == 192;
    if (drawnFor && dpi != 96) {
        const std::pair<const char*, int> glyphs[] = {{"GLYPH_HELP_", 16}, {"GLYPH_REGISTER_", 32}, {"GLYPH_REMOVE_", 32}};
        for (const auto& [name, height] : glyphs) {
            const std::string drawn = name + std::to_string(scaled(height));
            EXPECT_NE(nullptr, FindResourceA(program, drawn.c_str(), reinterpret_cast<LPCSTR>(RT_BITMAP))) << drawn;
        }
    }
    if (drawnFor) {
        EXPECT_EQ(small, IconImageFor(program, "MAINICON", small));
    }

    // Each text fits its control: the captions of the buttons below their glyphs, inside the edges.
    const int edge = GetSystemMetrics(SM_CXEDGE);
    for (TSpeedButton* b : {f.EnableBtn, f.UnEnableBtn}) {
        SCOPED_TRACE(b->Text());
        const SIZE text = TextSize(b);
        EXPECT_LE(text.cx, ClientWidth(b) - 4 * edge);
        EXPECT_LE(b->GlyphHeight() + scaled(4) + text.cy, scaled(62) - 4 * edge);
    }
    for (TWinControl* c : std::initializer_list<TWinControl*>{f.OKBtn, f.BitBtn1}) {
        const SIZE text = TextSize(c);
        EXPECT_LE(text.cx, ClientWidth(c) - 6 * edge) << c->Text();
    }
    for (TPanel* p : {f.Panel1, f.Panel2}) {
        const SIZE text = TextSize(p);
        EXPECT_LE(text.cx, ClientWidth(p) - 2 - scaled(2)) << p->Text();
    }
    {
        // The box, and the gap after it that Windows leaves: half a "0".
        const HDC dc = GetDC(f.ExpChk->Handle());
        const SIZE zero = TextSize(dc, f.ExpChk->Font(), "0");
        ReleaseDC(f.ExpChk->Handle(), dc);
        const int box = GetSystemMetrics(SM_CXMENUCHECK) + zero.cx / 2;
        EXPECT_LE(TextSize(f.ExpChk).cx, ClientWidth(f.ExpChk) - box);
    }
    {
        const SIZE text = TextSize(f.GroupBox1);
        EXPECT_LE(scaled(8) + text.cx + scaled(4), ClientWidth(f.GroupBox1));
    }
    {
        // The caption beside the window's icon and its three buttons.
        NONCLIENTMETRICSA metrics{};
        metrics.cbSize = sizeof metrics;
        ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
        const HFONT font = CreateFontIndirectA(&metrics.lfCaptionFont);
        const TScreenDC screen;
        const SIZE text = TextSize(screen.Handle(), font, f.Caption());
        DeleteObject(font);
        RECT window{};
        GetWindowRect(f.Handle(), &window);
        const int room = window.right - window.left - 2 * GetSystemMetrics(SM_CXFIXEDFRAME) - small -
                         3 * GetSystemMetrics(SM_CXSIZE);
        EXPECT_LE(text.cx, room);
    }
    // The status bar lies below every button, along the whole bottom.
    const RECT status = PlaceOf(f.StatusBar1);
    EXPECT_EQ(client.bottom, status.bottom);
    EXPECT_EQ(client.right, status.right - status.left);
    for (TWinControl* c : std::initializer_list<TWinControl*>{f.SpeedButton1, f.BitBtn1, f.OKBtn, f.GroupBox1})
        EXPECT_GE(status.top, PlaceOf(c).bottom) << c->Text();
}

// Between the scales drawn for, a glyph is stretched pixel for pixel: a blend would mix the
// transparent magenta into its edges.
TEST(DisplayScale, AStretchedGlyphKeepsOnlyItsOwnColours) {
    const COLORREF magenta = RGB(255, 0, 255), green = RGB(0x1F, 0x8F, 0x3A);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof format.bmiHeader, 4, 4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const UniqueBitmap source(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(source);
    auto* pixels = static_cast<DWORD*>(bits);
    for (int i = 0; i < 16; ++i) pixels[i] = (i + i / 4) % 2 ? 0xFF00FF : 0x1F8F3A;  // a checkerboard, BGR
    GdiFlush();
    const UniqueBitmap stretched = StretchedBitmap(source.get(), 7, 7);
    ASSERT_TRUE(stretched);
    const TScreenDC screen;
    DWORD out[7 * 7] = {};
    format.bmiHeader.biWidth = format.bmiHeader.biHeight = 7;
    ASSERT_EQ(7, GetDIBits(screen.Handle(), stretched.get(), 0, 7, out, &format, DIB_RGB_COLORS));
    int seen[2] = {};
    for (const DWORD p : out) {
        const COLORREF c = RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
        ASSERT_TRUE(c == magenta || c == green) << std::hex << p;
        ++seen[c == magenta];
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
}

TEST(ManagerAtDisplayScales, At125To200Percent) {
    for (const int dpi : {120, 144, 168, 192})
        EXPECT_EQ(0, ts::RunSelfAtDpi(dpi, "Manager.TheLayoutFollowsTheDisplayScaleAndEveryTextFits")) << dpi;
}

// ---- Vista ------------------------------------------------------------------------------

TEST_F(Manager, APaintUnderVistaRemovesTheUsersVirtualStoreCopy) {
    REQUIRE_WINDOWS_VERSION("vista");
    Installation inst(Installation::Options().Registered().SettingsFile(SettingsFileName()));
    const std::string store = AddTrailingBackslash(GetUserProfileFolder()) + "AppData\\Local\\VirtualStore\\";
    ts::ScopedFolder folder(store);
    CreateDirectoryA(store.c_str(), nullptr);
    CreateDirectoryA((store + "Windows").c_str(), nullptr);
    const std::string copy = store + "Windows\\" + SettingsFileName();
    ASSERT_TRUE(ts::WriteFileBytes(copy, "[GenDir]\r\nDir=C:\\elsewhere\r\n"));
    Open();
    EXPECT_FALSE(ts::FileExists(copy));
    EXPECT_EQ(ts::kRegisteredText, form_->Panel1->Text());
}

TEST(ManagerOnVista, VirtualStoreCopy) {
    EXPECT_EQ(0, ts::RunSelfAs("vista", "Manager.APaintUnderVistaRemovesTheUsersVirtualStoreCopy"));
}

// ---- the association, where it reads back as on Windows --------------------------------

TEST_F(Manager, AssociationReadsBackOnWindows98) {
    REQUIRE_WINDOWS_VERSION("win98");
    ts::ScopedFolder userXlStart(ts::UserXlStartFolderPath());
    Installation inst(Installation::Options().Registered().SettingsFile(SettingsFileName()));
    Open();
    TManagerForm& f = *form_;
    ASSERT_TRUE(CanWriteAssociation);
    EXPECT_EQ(ts::kNotAssociatedText, f.Panel2->Text());
    f.ExpChk->SetChecked(true);
    f.OKBtn->Click();
    ASSERT_EQ(1u, boxes_.calls().size());
    EXPECT_EQ("エクスプローラとの関連づけを有効にしました\r\r", boxes_.calls()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), boxes_.calls()[0].flags);
    EXPECT_TRUE(ExplorerAssociated);
    EXPECT_EQ(ts::kAssociatedText, f.Panel2->Text());
    EXPECT_TRUE(f.ExpChk->Checked());
    EXPECT_FALSE(f.OKBtn->Enabled());

    f.ExpChk->SetChecked(false);
    f.OKBtn->Click();
    ASSERT_EQ(2u, boxes_.calls().size());
    EXPECT_EQ("エクスプローラとの関連づけを解除しました\r\r", boxes_.calls()[1].text);
    EXPECT_FALSE(ExplorerAssociated);
    EXPECT_EQ(ts::kNotAssociatedText, f.Panel2->Text());
    EXPECT_TRUE(inst.Registered());
}

TEST(ManagerOnWindows98, AssociationRoundTrip) {
    EXPECT_EQ(0, ts::RunSelfAs("win98", "Manager.AssociationReadsBackOnWindows98"));
}
