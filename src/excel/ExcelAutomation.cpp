#include "excel/ExcelAutomation.h"

#include <windows.h>
#include <process.h>

#include <algorithm>
#include <atomic>
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

// Tells every instance that answers to ProgId to quit until the budget counted from Start is
// spent; Quit becomes true once one took the Quit.
void QuitEveryInstance(const std::string& progId, DWORD start, std::atomic<bool>& quit) {
    // Of several running instances only the first answers; the next does once that one has
    // left the running-object table. One that is still leaving, or stays (its user kept a
    // workbook), is not told again, and one whose identity cannot be told is taken for it.
    std::vector<std::string> told;
    bool quietBefore = false;
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
        if (!told.empty() && (identity.empty() || std::find(told.begin(), told.end(), identity) != told.end())) {
            Sleep(kLeavingPollMs);
            continue;
        }
        told.push_back(identity);
        if (CloseAndQuit(excelApp.get())) quit = true;
        Sleep(kLeavingPollMs);
    }
}

// What a run shares with its worker, the COM libraries included. Each holds it once and the last
// to let go deletes it, so a worker left blocked in a call to Excel still finds it.
struct QuitJob {
    QuitJob(std::string id, DWORD began) : progId(std::move(id)), start(began) {}
    const ComLibraryHold libraries;
    const std::string progId;
    const DWORD start;
    std::atomic<bool> quit{false};
    std::atomic<int> holders{1};
};

class JobHold {
public:
    explicit JobHold(QuitJob* job) : job_(job) {}
    JobHold(const JobHold&) = delete;
    JobHold& operator=(const JobHold&) = delete;
    ~JobHold() {
        if (--job_->holders == 0) delete job_;
    }
    QuitJob* operator->() const { return job_; }
    QuitJob* get() const { return job_; }

private:
    QuitJob* job_;
};

unsigned __stdcall QuitWorker(void* job) {
    const JobHold hold(static_cast<QuitJob*>(job));
    try {
        const ComApartment apartment;
        if (apartment) QuitEveryInstance(hold->progId, hold->start, hold->quit);
    } catch (...) {
    }
    return 0;
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
        // Loaded here, before the worker: two threads never load them at once.
        if (progId.empty() || !ComAvailable()) return false;
        // Each call into Excel can block for good (a modal dialog, an add-in's own prompt). They are
        // made on a thread of their own, which the run waits for no longer than its budget; the end
        // of the process takes a thread still blocked with it.
        const DWORD start = GetTickCount();
        const JobHold job(new QuitJob(progId, start));
        ++job->holders;
        const UniqueHandle worker(
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, QuitWorker, job.get(), 0, nullptr)));
        if (!worker) {
            --job->holders;
            return false;
        }
        const DWORD spent = GetTickCount() - start;
        WaitForSingleObject(worker.get(), spent < kQuitBudgetMs ? kQuitBudgetMs - spent : 0);
        return job->quit;
    } catch (...) {
        return false;
    }
}

bool IsExcelWindowPresent() { return FindWindowA(excel::kWindowClass, nullptr) != nullptr; }
