#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <algorithm>

#include "environment/ComUtil.h"
#include "excel/ExcelAutomation.h"
#include "excel/ExcelFacts.h"
#include "manager/Addin.h"
#include "support/ExcelStandIn.h"
#include "support/TestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::Contains;

namespace {

constexpr DWORD kExitMs = 20000;

// Every ProgID the program may ask under, gone for the test unless a test maps it.
struct NoExcelRegistered {
    ts::ScopedNoProgId a{"Excel.Application"}, a5{"Excel.Application.5"}, a8{"Excel.Application.8"},
        a9{"Excel.Application.9"}, a10{"Excel.Application.10"}, a16{"Excel.Application.16"};
};

// Gives this thread's CoInitialize another answer (Wine's never fails) and counts the ends of COM
// it sees. A start it turned into a failure is ended here at the end, as nobody else will.
class CoInitializeAnswer final : public IInitializeSpy {
public:
    explicit CoInitializeAnswer(HRESULT answer) : answer_(answer) {
        registered_ = SUCCEEDED(CoRegisterInitializeSpy(this, &cookie_));
    }
    ~CoInitializeAnswer() {
        if (registered_) CoRevokeInitializeSpy(cookie_);
        for (; hidden_ > 0; --hidden_) CoUninitialize();
    }
    bool Registered() const { return registered_; }
    int Ends() const { return ends_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IInitializeSpy) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE PreInitialize(DWORD, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostInitialize(HRESULT real, DWORD, DWORD) override {
        if (FAILED(real)) return real;
        if (FAILED(answer_)) ++hidden_;
        return answer_;
    }
    HRESULT STDMETHODCALLTYPE PreUninitialize(DWORD) override {
        ++ends_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PostUninitialize(DWORD) override { return S_OK; }

private:
    HRESULT answer_;
    ULARGE_INTEGER cookie_{};
    bool registered_ = false;
    int hidden_ = 0, ends_ = 0;
};

}  // namespace

TEST(CloseRunningExcel, WithoutExcelItReportsFalse) {
    NoExcelRegistered none;
    EXPECT_FALSE(CloseRunningExcel(0));  // nothing registered
    ts::ScopedExcelProgIds ids;
    EXPECT_FALSE(CloseRunningExcel(0));  // registered, not running
    EXPECT_FALSE(CloseRunningExcel(8));
    EXPECT_FALSE(IsExcelRunning("Excel.Application"));
}

TEST(CloseRunningExcel, ClosesTheAddinAndQuitsLeavingUnsavedWorkToExcel) {
    NoExcelRegistered none;
    ts::ScopedExcelProgIds ids;
    ts::ExcelStandIn excel;
    ASSERT_TRUE(excel.Start({{"Report.xls", false}, {"基盤関数.XLA", true}, {"Sales.xls", true}}));

    EXPECT_TRUE(CloseRunningExcel(0));

    EXPECT_EQ(0, excel.WaitForExit(kExitMs)) << "Quit ends Excel";
    EXPECT_THAT(excel.CallLines(), ElementsAre("names application WorkBooks",
                                               "call application Workbooks get \"基盤関数.XLA\"",
                                               "names workbook(基盤関数.XLA) Close",
                                               "call workbook(基盤関数.XLA) Close method",
                                               "names application Quit",
                                               "call application Quit method"));
    const auto log = excel.LogLines();
    EXPECT_THAT(log, Contains("closed 基盤関数.XLA"));
    // No workbook was marked saved behind the user's back: Excel still knew of the unsaved one.
    EXPECT_THAT(log, Contains("quit open=Report.xls:unsaved,Sales.xls:saved"));
    for (const auto& line : log) EXPECT_THAT(line, Not(HasSubstr("Saved"))) << line;
}

TEST(CloseRunningExcel, QuitsEvenWhenTheAddinIsNotOpen) {
    NoExcelRegistered none;
    ts::ScopedExcelProgIds ids;
    ts::ExcelStandIn excel;
    ASSERT_TRUE(excel.Start({{"Report.xls", false}}));
    EXPECT_TRUE(CloseRunningExcel(8));
    EXPECT_EQ(0, excel.WaitForExit(kExitMs));
    EXPECT_THAT(excel.CallLines(), ElementsAre("names application WorkBooks",
                                               "call application Workbooks get \"基盤関数.XLA\"",
                                               "names application Quit", "call application Quit method"));
    EXPECT_THAT(excel.LogLines(), Contains("quit open=Report.xls:unsaved"));
}

TEST(CloseRunningExcel, AsksUnderTheProgIdOfTheVersionOrElseTheVersionlessOne) {
    NoExcelRegistered none;
    {
        ts::ScopedExcelProgIds only9({"Excel.Application.9"});
        ts::ExcelStandIn excel;
        ASSERT_TRUE(excel.Start({}));
        EXPECT_FALSE(CloseRunningExcel(8));
        EXPECT_FALSE(CloseRunningExcel(0));
        EXPECT_TRUE(excel.Running());
        EXPECT_TRUE(excel.CallLines().empty());
        EXPECT_TRUE(CloseRunningExcel(9));
        EXPECT_EQ(0, excel.WaitForExit(kExitMs));
    }
    // Excel 2016 and later: only the versionless name and their own.
    ts::ScopedExcelProgIds only0({"Excel.Application", "Excel.Application.16"});
    for (int version : {5, 8, 9, 10}) {
        ts::ExcelStandIn excel;
        ASSERT_TRUE(excel.Start({}));
        EXPECT_TRUE(IsExcelRunning(excel::ProgIdFor(version))) << version;
        EXPECT_TRUE(CloseRunningExcel(version)) << version;
        EXPECT_EQ(0, excel.WaitForExit(kExitMs)) << version;
    }
}

// Only the first of several instances is in the running-object table; the next appears there once
// the first has left. Each is told once, also one that is slow to leave.
TEST(CloseRunningExcel, QuitsEveryRunningInstance) {
    NoExcelRegistered none;
    ts::ScopedExcelProgIds ids;
    ts::ExcelStandIn first, second;
    ts::ExcelStandIn::Options slow;
    slow.books = {{"基盤関数.XLA", true}};
    slow.lingerMs = 1000;
    ASSERT_TRUE(first.StartWith(slow));
    ASSERT_TRUE(second.Start({{"基盤関数.XLA", true}}));
    EXPECT_TRUE(CloseRunningExcel(0));
    EXPECT_EQ(0, first.WaitForExit(kExitMs));
    EXPECT_EQ(0, second.WaitForExit(kExitMs));
    for (const ts::ExcelStandIn* excel : {&first, &second}) {
        const auto calls = excel->CallLines();
        EXPECT_EQ(1, std::count(calls.begin(), calls.end(), "call application Quit method"));
        EXPECT_THAT(excel->LogLines(), Contains("closed 基盤関数.XLA"));
    }
}

// An Excel that died without leaving the running-object table is no Excel.
TEST(CloseRunningExcel, AKilledExcelIsNotRunning) {
    NoExcelRegistered none;
    ts::ScopedExcelProgIds ids;
    ts::ExcelStandIn excel;
    ASSERT_TRUE(excel.Start({{"基盤関数.XLA", true}}));
    excel.Kill();
    EXPECT_FALSE(IsExcelRunning("Excel.Application"));
    EXPECT_FALSE(CloseRunningExcel(0));
}

// An Excel held by a modal dialog never returns from Quit: the run goes on after its budget, and
// leaves the call behind.
TEST(CloseRunningExcel, AnExcelThatHangsInQuitDoesNotHoldTheRun) {
    NoExcelRegistered none;
    ts::ScopedExcelProgIds ids;
    ts::ExcelStandIn excel;
    ts::ExcelStandIn::Options hung;
    hung.books = {{"基盤関数.XLA", true}};
    hung.hang = true;
    ASSERT_TRUE(excel.StartWith(hung));
    EXPECT_FALSE(CloseRunningExcel(0));  // it never took the Quit
    EXPECT_TRUE(excel.Running());        // the watchdog had not ended it
    EXPECT_THAT(excel.LogLines(), Contains("hang"));
    EXPECT_THAT(excel.LogLines(), Contains("closed 基盤関数.XLA"));
}

// CoInitialize's answer decides whether COM may be used on the thread. A failure finds no running
// Excel; S_FALSE (already initialised) counts and is ended like S_OK; RPC_E_CHANGED_MODE (in the
// multithreaded apartment already) may be used but is not ours to end.
TEST(IsExcelRunning, FollowsTheAnswerOfCoInitialize) {
    NoExcelRegistered none;
    ts::ScopedExcelProgIds ids;
    ts::ExcelStandIn excel;
    ASSERT_TRUE(excel.Start({}));
    const struct {
        HRESULT answer;
        bool found;
        int ends;
    } rows[] = {{E_OUTOFMEMORY, false, 0}, {E_UNEXPECTED, false, 0}, {RPC_E_CHANGED_MODE, true, 0},
                {S_FALSE, true, 1},        {S_OK, true, 1}};
    for (const auto& row : rows) {
        EndCom();  // this thread starts afresh
        CoInitializeAnswer spy(row.answer);
        ASSERT_TRUE(spy.Registered());
        EXPECT_EQ(row.found, IsExcelRunning("Excel.Application")) << std::hex << row.answer;
        EndCom();
        EXPECT_EQ(row.ends, spy.Ends()) << std::hex << row.answer;
    }
    EXPECT_TRUE(IsExcelRunning("Excel.Application"));
    EXPECT_TRUE(excel.CallLines().empty());
}

TEST(IsExcelRunning, TrueOnlyWhileAnInstanceRunsUnderThatProgId) {
    NoExcelRegistered none;
    ts::ScopedExcelProgIds ids;
    EXPECT_FALSE(IsExcelRunning("Excel.Application.8"));
    ts::ExcelStandIn excel;
    ASSERT_TRUE(excel.Start({{"Report.xls", false}}));
    EXPECT_TRUE(IsExcelRunning("Excel.Application"));
    EXPECT_TRUE(IsExcelRunning("Excel.Application.8"));
    EXPECT_TRUE(IsExcelRunning("Excel.Application.9"));  // not registered: the versionless name answers
    // Asking touches nothing in Excel.
    EXPECT_TRUE(excel.CallLines().empty());
    EXPECT_TRUE(CloseRunningExcel(8));
    EXPECT_EQ(0, excel.WaitForExit(kExitMs));
    EXPECT_FALSE(IsExcelRunning("Excel.Application.8"));
}

// The late-bound calls the rest of the program builds on, against the stand-in's
// collection: by index from 1, by name in any case, counting, and a property put.
TEST(CallByName, GetsPutsAndCallsByName) {
    NoExcelRegistered none;
    ts::ScopedExcelProgIds ids;
    ts::ExcelStandIn excel;
    ASSERT_TRUE(excel.Start({{"Report.xls", false}, {"基盤関数.XLA", true}}));
    ASSERT_TRUE(IsExcelRunning("Excel.Application"));  // sets COM up on this thread
    const ComPtr<IDispatch> app = ActiveObjectFor("Excel.Application");
    ASSERT_TRUE(app);

    Variant books;
    ASSERT_EQ(S_OK, CallByName(app.get(), L"Workbooks", DISPATCH_PROPERTYGET, {}, books.put()));
    Variant count;
    ASSERT_EQ(S_OK, CallByName(DispatchOf(books.get()).get(), L"count", DISPATCH_METHOD, {}, count.put()));
    ASSERT_EQ(VT_I4, count.get().vt);
    EXPECT_EQ(2, count.get().lVal);

    const Variant second = Variant::FromInt(2);
    Variant byIndex;
    ASSERT_EQ(S_OK, CallByName(app.get(), L"Workbooks", DISPATCH_PROPERTYGET, {&second.get()}, byIndex.put()));
    const ComPtr<IDispatch> book = DispatchOf(byIndex.get());
    Variant name;
    ASSERT_EQ(S_OK, CallByName(book.get(), L"Name", DISPATCH_PROPERTYGET, {}, name.put()));
    ASSERT_EQ(VT_BSTR, name.get().vt);
    EXPECT_EQ(WideFromAnsi("基盤関数.XLA"), std::wstring(name.get().bstrVal));

    const Variant report = Variant::FromText("REPORT.XLS");
    Variant byName;
    ASSERT_EQ(S_OK, CallByName(app.get(), L"Workbooks", DISPATCH_PROPERTYGET, {&report.get()}, byName.put()));
    const Variant yes = Variant::FromBool(true);
    EXPECT_EQ(S_OK, CallByName(DispatchOf(byName.get()).get(), L"Saved", DISPATCH_PROPERTYPUT, {&yes.get()}, nullptr));
    Variant saved;
    ASSERT_EQ(S_OK, CallByName(DispatchOf(byName.get()).get(), L"Saved", DISPATCH_PROPERTYGET, {}, saved.put()));
    EXPECT_EQ(VT_BOOL, saved.get().vt);
    EXPECT_EQ(VARIANT_TRUE, saved.get().boolVal);

    // Failures come back as results, not as anything thrown.
    const Variant third = Variant::FromInt(3);
    Variant none3;
    EXPECT_EQ(DISP_E_EXCEPTION, CallByName(app.get(), L"Workbooks", DISPATCH_PROPERTYGET, {&third.get()}, none3.put()));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, CallByName(app.get(), L"NoSuchMember", DISPATCH_METHOD, {}, nullptr));
    EXPECT_EQ(E_POINTER, CallByName(nullptr, L"Quit", DISPATCH_METHOD, {}, nullptr));

    EXPECT_THAT(excel.LogLines(), Contains("call workbook(Report.xls) Saved put true"));
    EXPECT_THAT(excel.LogLines(), Contains("saved Report.xls true"));
}
