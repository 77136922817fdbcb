// Measures the program for tools/bench. Each mode prints rows, tab-separated:
//   figure  unit  median  min  max  baseline  b-median  b-min  b-max
// (baseline columns empty when the figure has none); "idle" prints READY lines for
// the script, which reads the processor time of the watching process from Linux.
//
//   TorvaBench startup N | refresh N | cmdline N | growth N | idle N
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edition/Edition.h"
#include "edition/EditionRules.h"
#include "environment/Profile.h"
#include "help/HelpFunc_Torva.h"
#include "manager/Addin.h"
#include "manager/Association.h"
#include "manager/Settings.h"
#include "manager/TorvaMan1.h"
#include "support/Installation.h"
#include "support/ManagerSupport.h"
#include "support/TestSupport.h"
#include "ui/AppHandle.h"

using ts::Installation;

namespace {

double Now() {
    static const double freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / freq;
}

struct Stats {
    double median = 0, min = 0, max = 0;
};

Stats Summarise(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    s.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    s.min = v.front();
    s.max = v.back();
    return s;
}

void Row(const char* figure, const char* unit, double scale, const std::vector<double>& samples,
         const char* baseline = nullptr, const std::vector<double>& baseSamples = {}) {
    const Stats s = Summarise(samples);
    std::printf("%s\t%s\t%.4g\t%.4g\t%.4g", figure, unit, s.median * scale, s.min * scale, s.max * scale);
    if (baseline) {
        const Stats b = Summarise(baseSamples);
        std::printf("\t%s\t%.4g\t%.4g\t%.4g", baseline, b.median * scale, b.min * scale, b.max * scale);
    }
    std::printf("\n");
    std::fflush(stdout);
}

void Pump(DWORD ms) { ts::PumpMessages(ms); }

struct FindWindowOf {
    DWORD pid;
    const char* cls;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<FindWindowOf*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    char name[64];
    if (owner == f->pid && IsWindowVisible(h) && GetClassNameA(h, name, sizeof name) && std::strcmp(name, f->cls) == 0) {
        f->found = h;
        return FALSE;
    }
    return TRUE;
}

// The first visible top-level window of Class that belongs to Pid.
HWND VisibleWindowOf(DWORD pid, const char* cls) {
    FindWindowOf f{pid, cls, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

// Seconds from process creation until Ready(window) holds for a visible window of Class.
double TimeToWindow(const std::string& commandLine, const char* cls, const std::function<bool(HWND)>& ready) {
    ts::Child child;
    const double t0 = Now();
    if (!child.Start(commandLine)) return -1;
    double t = -1;
    while (Now() - t0 < 30) {
        HWND h = VisibleWindowOf(child.Pid(), cls);
        if (h && ready(h)) {
            t = Now() - t0;
            PostMessageA(h, WM_CLOSE, 0, 0);
            break;
        }
        Sleep(1);
    }
    if (child.Wait(15000) < 0) child.Kill();
    Sleep(200);  // let the notification area forget the icon
    return t;
}

void Startup(int n) {
    Installation inst(Installation::Options().Registered());
    ts::TempDir dir;
    const std::string program = dir / "TorvaMan.exe";
    CopyFileA(ts::ProgramPath().c_str(), program.c_str(), FALSE);
    const std::string minimal = ts::BuildDir() + "bench\\BenchWindow.exe";
    const std::string withControls = ts::BuildDir() + "bench\\BenchWindowCC.exe";
    auto managerReady = [](HWND form) {
        const std::string text = ts::ManagerControls(form).Panel1();
        return text.find_first_not_of(' ') != std::string::npos;  // a blank until the first refresh
    };
    auto minimalReady = [](HWND w) { return ts::WindowText(FindWindowExA(w, nullptr, "STATIC", nullptr)) == "ready"; };
    std::vector<double> mine, base, baseControls;
    TimeToWindow(ts::Quoted(program), "TManagerForm", managerReady);  // warm the file cache
    TimeToWindow(ts::Quoted(minimal), "TorvaBenchWindow", minimalReady);
    TimeToWindow(ts::Quoted(withControls), "TorvaBenchWindow", minimalReady);
    for (int i = 0; i < n; ++i) {
        mine.push_back(TimeToWindow(ts::Quoted(program), "TManagerForm", managerReady));
        base.push_back(TimeToWindow(ts::Quoted(minimal), "TorvaBenchWindow", minimalReady));
        baseControls.push_back(TimeToWindow(ts::Quoted(withControls), "TorvaBenchWindow", minimalReady));
    }
    Row("start-up to window with panel text", "ms", 1000, mine, "minimal window + tray icon", base);
    Row("  the same, against", "ms", 1000, mine, "minimal + common controls", baseControls);
}

// Seconds the process takes from creation to its end.
double TimeToExit(const std::string& commandLine) {
    ts::Child child;
    const double t0 = Now();
    if (!child.Start(commandLine)) return -1;
    if (child.Wait(30000) < 0) return -1;
    return Now() - t0;
}

void Cmdline(int n) {
    Installation inst(Installation::Options().Registered());
    ts::TempDir dir;
    const std::string program = dir / "TorvaMan.exe";
    CopyFileA(ts::ProgramPath().c_str(), program.c_str(), FALSE);
    const std::string probe = ts::FixturePath("Probe");
    const std::string run = ts::Quoted(program) + " /EXE=" + probe;
    TimeToExit(run);
    TimeToExit(ts::Quoted(probe));
    std::vector<double> mine, base;
    for (int i = 0; i < n; ++i) {
        mine.push_back(TimeToExit(run));
        base.push_back(TimeToExit(ts::Quoted(probe)));
        Sleep(100);
    }
    Row("command line /EXE=probe, to exit", "ms", 1000, mine, "probe alone, to exit", base);
}

// What one refresh reads, without touching the window.
void ReadsAlone() {
    const int n = ServedExcelVersion();
    const std::string settings = SettingsFileName();
    RemoveVirtualStoreCopy(settings);
    std::string display;
    ReadProfileString("Product", "Display", display, settings, 255);
    const std::string label = ProductLabel(GetTorvaType(n));
    std::string excelFolder, startupFolder;
    GetExcelFoldersFor(settings, n, excelFolder, startupFolder);
    const std::string productFolder = ReadProductFolderOf(settings);
    const AddinLocation at = LocateAddin(startupFolder, productFolder);
    (void)at;
    (void)CheckExplorerAssociation(n);
}

// Seconds per call of Fn: Samples samples, each the mean of Batch calls; messages are
// handled between samples only.
std::vector<double> TimeCalls(int samples, int batch, const std::function<void()>& fn) {
    std::vector<double> out;
    for (int s = 0; s < samples; ++s) {
        const double t0 = Now();
        for (int i = 0; i < batch; ++i) fn();
        out.push_back((Now() - t0) / batch);
        Pump(5);
    }
    return out;
}

struct OpenForm {
    OpenForm() {
        Application().ClearTerminated();
        form = std::make_unique<TManagerForm>(nullptr);
        Application().SetMainForm(form.get());
        form->SetForm();
        const DWORD end = GetTickCount() + 10000;
        while (form->RefreshCount() == 0 && static_cast<int>(end - GetTickCount()) > 0) Pump(10);
        Pump(300);
    }
    ~OpenForm() {
        form.reset();
        Pump(20);
    }
    std::unique_ptr<TManagerForm> form;
};

void Refresh(int n) {
    Application().Initialize();
    ts::MessageBoxRecorder boxes;
    Installation inst(Installation::Options().Registered());
    OpenForm open;
    TManagerForm& f = *open.form;
    const std::vector<double> mine = TimeCalls(n, 10, [&] { f.FormShow(); });
    const std::vector<double> base = TimeCalls(n, 10, ReadsAlone);
    Row("refresh (FormShow), in process", "us", 1e6, mine, "its reads alone", base);

    // Where the rest goes: the window updates with the values the refresh found.
    const std::string display = f.StatusBar1->PanelText();
    const std::string label = ProductLabel(GetTorvaType(ServedExcelVersion()));
    const std::string installed = f.ExcelEdt->Text(), parked = f.TorvaEdt->Text();
    const std::vector<double> ui = TimeCalls(n, 10, [&] {
        f.StatusBar1->SetPanelText(display);
        f.SetCaption(f.Caption());
        Application().SetTitle(Application().Title);
        Application().SetHintHidePause(50000);
        f.ExcelEdt->SetText(installed);
        f.TorvaEdt->SetText(parked);
        f.StateTorva(0, label);
        f.StateExplorer(ExplorerAssociated);
        f.SetOKBtn();
    });
    Row("  of which window updates alone", "us", 1e6, ui);
    if (!boxes.calls().empty()) std::printf("# refresh raised %zu message boxes\n", boxes.calls().size());
}

void Growth(int n) {
    Application().Initialize();
    ts::MessageBoxRecorder boxes;
    Installation inst(Installation::Options().Registered());
    OpenForm open;
    TManagerForm& f = *open.form;
    std::vector<std::unique_ptr<TTrayIcon_>> extra;
    auto growTo = [&](size_t icons) {
        while (extra.size() + 1 < icons) {
            auto icon = std::make_unique<TTrayIcon_>(nullptr);
            icon->BeginReading();
            icon->SetTipHelp("bench " + std::to_string(extra.size()));
            icon->SetIcon(&f.Icon());
            icon->SetVisible(true);
            icon->FinishLoading();
            extra.push_back(std::move(icon));
        }
        Pump(200);
    };
    TimeCalls(3, 10, [&] { f.FormShow(); });  // warm-up
    std::vector<double> one = TimeCalls(n, 10, [&] { f.FormShow(); });
    growTo(10);
    std::vector<double> ten = TimeCalls(n, 10, [&] { f.FormShow(); });
    growTo(100);
    std::vector<double> hundred = TimeCalls(n, 10, [&] { f.FormShow(); });
    Row("refresh with 10 tray icons", "us", 1e6, ten, "with 1 icon", one);
    Row("refresh with 100 tray icons", "us", 1e6, hundred, "with 1 icon", one);
    extra.clear();
    Pump(200);

    // The help lookup: the largest keyword group against the one-row group.
    static HelpKeywordTable table;
    std::string largest, smallest;
    int most = 0, fewest = 1 << 30;
    for (const char* g : {"TorvaQ", "Torva", "TorvaF", "Torva2", "TorvaA", "TorvaT", "TorvaG"}) {
        FillHelpKeywordTable(g, "", table);
        if (table.count > most) most = table.count, largest = g;
        if (table.count < fewest) fewest = table.count, smallest = g;
    }
    FillHelpKeywordTable(largest, "", table);
    const std::string lastOfLargest(table.keywords[table.count - 1]);
    FillHelpKeywordTable(smallest, "", table);
    const std::string onlyOfSmallest(table.keywords[0]);
    volatile int32_t sink = 0;
    const std::vector<double> big = TimeCalls(n, 1000, [&] { sink = sink + HelpContextOf(lastOfLargest, largest); });
    const std::vector<double> miss = TimeCalls(n, 1000, [&] { sink = sink + HelpContextOf("NoSuchTopic", largest); });
    const std::vector<double> small = TimeCalls(n, 1000, [&] { sink = sink + HelpContextOf(onlyOfSmallest, smallest); });
    char name[128];
    std::snprintf(name, sizeof name, "HelpContextOf, last of %s (%d rows)", largest.c_str(), most);
    Row(name, "us", 1e6, big, "one-row group", small);
    std::snprintf(name, sizeof name, "HelpContextOf, missing in %s", largest.c_str());
    Row(name, "us", 1e6, miss, "one-row group", small);
}

LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// Keeps a watched window open for ~12 s while the command line watches it; the script
// measures the watching process from outside between READY and the window's end.
void Idle(int n) {
    Installation inst(Installation::Options().Registered());
    ts::TempDir dir;
    const std::string program = dir / "TorvaMan.exe";
    CopyFileA(ts::ProgramPath().c_str(), program.c_str(), FALSE);
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TorvaBenchWatch";
    RegisterClassA(&wc);
    for (int i = 0; i < n; ++i) {
        HWND watched = CreateWindowExA(0, wc.lpszClassName, "watched", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                       wc.hInstance, nullptr);
        ts::Child child;
        child.Start(ts::Quoted(program) + " /CW=TorvaBenchWatch,gone,watched");
        Pump(3000);  // past its two one-second pauses: now only the watch runs
        // The script finds the Linux process by the name of the program's folder.
        std::string folder = dir / "";
        folder.pop_back();
        folder = folder.substr(folder.find_last_of('\\') + 1);
        std::printf("READY %lu %s %d\n", static_cast<unsigned long>(child.Pid()), folder.c_str(), child.Running() ? 1 : 0);
        std::fflush(stdout);
        for (int t = 0; t < 120 && child.Running(); ++t) Pump(100);
        if (!child.Running()) std::printf("# the watch ended early\n");
        DestroyWindow(watched);
        const int code = child.Wait(15000);
        std::printf("DONE %d\n", code);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: TorvaBench startup|refresh|cmdline|growth|idle [N]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int n = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (mode == "startup") Startup(n);
    else if (mode == "refresh") Refresh(n);
    else if (mode == "cmdline") Cmdline(n);
    else if (mode == "growth") Growth(n);
    else if (mode == "idle") Idle(n);
    else return 2;
    return 0;
}
