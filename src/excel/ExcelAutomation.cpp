#include "excel/ExcelAutomation.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "environment/ComUtil.h"
#include "environment/Registry.h"
#include "excel/ExcelFacts.h"

namespace {

// Instances quit in one run at the most, and how long the run may go on finding more.
constexpr size_t kMostInstances = 8;
constexpr DWORD kQuitBudgetMs = 5000;
// Between two looks at an instance that was told to quit and is still leaving.
constexpr DWORD kLeavingPollMs = 100;

bool IsRegistered(const std::string& progId) {
    return !progId.empty() && !RegQueryString(HKEY_CLASSES_ROOT, progId + "\\CLSID", "").empty();
}

// Closes the common add-in and tells Excel to quit; true when Excel took the Quit.
bool CloseAndQuit(IDispatch* excelApp) {
    // The common add-in goes first; it may well not be open, so failures do not count.
    {
        const Variant name = Variant::FromText(excel::kCommonAddin);
        Variant book;
        if (SUCCEEDED(CallByName(excelApp, excel::kWorkBooks, DISPATCH_PROPERTYGET, {&name.get()}, book.put())))
            CallByName(DispatchOf(book.get()).get(), excel::kClose, DISPATCH_METHOD, {}, nullptr);
    }
    // Excel itself asks about workbooks with unsaved changes: marking them saved
    // here would throw the user's work away without a word.
    Variant ignored;
    return SUCCEEDED(CallByName(excelApp, excel::kQuit, DISPATCH_METHOD, {}, ignored.put()));
}

}  // namespace

std::string AnsweringProgId(const std::string& progId) {
    if (IsRegistered(progId)) return progId;
    // Excel 2016 and later register no older versioned names, only their own and this one.
    if (IsRegistered(excel::kProgId)) return excel::kProgId;
    return std::string();
}

bool IsExcelRunning(const std::string& progId) {
    const std::string asked = AnsweringProgId(progId);
    // COM is loaded and initialised only when the answer can be yes: at the first use, in the
    // window as on the command line.
    if (asked.empty() || !EnsureCom()) return false;
    return static_cast<bool>(ActiveObjectFor(asked));
}

bool CloseRunningExcel(int version) {
    try {
        const std::string progId = AnsweringProgId(excel::ProgIdFor(version));
        if (progId.empty() || !EnsureCom()) return false;
        // Of several running instances only the first answers; the next does once that one has
        // left the running-object table. One that is still leaving, or stays (its user kept a
        // workbook), is not told again, and one whose identity cannot be told is taken for it.
        std::vector<std::string> told;
        bool quit = false;
        bool quietBefore = false;
        const DWORD start = GetTickCount();
        while (told.size() < kMostInstances && GetTickCount() - start < kQuitBudgetMs) {
            const ComPtr<IDispatch> excelApp = ActiveObjectFor(progId);
            if (!excelApp) {
                // While one leaves, the table may answer with nobody for a moment before the next.
                if (told.empty() || quietBefore) break;
                quietBefore = true;
                Sleep(kLeavingPollMs);
                continue;
            }
            quietBefore = false;
            const std::string identity = ObjectIdentity(excelApp.get());
            if (!told.empty() &&
                (identity.empty() || std::find(told.begin(), told.end(), identity) != told.end())) {
                Sleep(kLeavingPollMs);
                continue;
            }
            told.push_back(identity);
            quit |= CloseAndQuit(excelApp.get());
            Sleep(kLeavingPollMs);
        }
        return quit;
    } catch (...) {
        return false;
    }
}

bool IsExcelWindowPresent() { return FindWindowA(excel::kWindowClass, nullptr) != nullptr; }
