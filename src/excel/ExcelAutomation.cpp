#include "excel/ExcelAutomation.h"

#include <windows.h>
#include <objbase.h>

#include "environment/ComUtil.h"
#include "excel/ExcelFacts.h"

namespace {

// The command line runs without the application object, so nobody else sets COM up
// on this thread. It stays initialised for the life of the thread.
void EnsureCom() { CoInitialize(nullptr); }

}  // namespace

bool IsExcelRunning(const std::string& progId) {
    EnsureCom();
    return static_cast<bool>(ActiveObjectFor(progId));
}

bool CloseRunningExcel(int version) {
    try {
        EnsureCom();
        const ComPtr<IDispatch> excelApp = ActiveObjectFor(excel::ProgIdFor(version));
        if (!excelApp) return false;

        // The common add-in goes first; it may well not be open, so failures do not count.
        {
            const Variant name = Variant::FromText(excel::kCommonAddin);
            Variant book;
            if (SUCCEEDED(CallByName(excelApp.get(), excel::kWorkBooks, DISPATCH_PROPERTYGET, {&name.get()},
                                     book.put())))
                CallByName(DispatchOf(book.get()).get(), excel::kClose, DISPATCH_METHOD, {}, nullptr);
        }

        // Excel itself asks about workbooks with unsaved changes: marking them saved
        // here would throw the user's work away without a word.
        Variant ignored;
        return SUCCEEDED(CallByName(excelApp.get(), excel::kQuit, DISPATCH_METHOD, {}, ignored.put()));
    } catch (...) {
        return false;
    }
}

bool IsExcelWindowPresent() { return FindWindowA(excel::kWindowClass, nullptr) != nullptr; }
