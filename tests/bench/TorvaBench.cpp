// Measures the program for tools/bench. Each mode prints rows, tab-separated:
//   figure  unit  median  min  max  baseline  b-median  b-min  b-max
// (baseline columns empty when the figure has none); "idle" prints READY lines for
// the script, which reads the processor time of the watching process from Linux.
//
//   TorvaBench startup N | refresh N | cmdline N | growth N | idle N | phases N TRACE-FILE
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
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
#include "support/ExcelStandIn.h"
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

using Ready = std::function<bool(HWND)>;

// Seconds from process creation until each of Readies first held for a visible window of Class
// (-1 for one that never did).
std::vector<double> TimesToWindow(const std::string& commandLine, const char* cls, const std::vector<Ready>& readies) {
    ts::Child child;
    std::vector<double> t(readies.size(), -1);
    const double t0 = Now();
    if (!child.Start(commandLine)) return t;
    size_t held = 0;
    HWND h = nullptr;
    while (held < readies.size() && Now() - t0 < 30) {
        if (HWND w = VisibleWindowOf(child.Pid(), cls)) {
            h = w;
            for (size_t i = 0; i < readies.size(); ++i)
                if (t[i] < 0 && readies[i](h)) {
                    t[i] = Now() - t0;
                    ++held;
                }
        }
        Sleep(1);
    }
    if (h) PostMessageA(h, WM_CLOSE, 0, 0);
    if (child.Wait(15000) < 0) child.Kill();
    Sleep(500);  // let the notification area forget the icon before the next start
    return t;
}

double TimeToWindow(const std::string& commandLine, const char* cls, const Ready& ready) {
    return TimesToWindow(commandLine, cls, {ready})[0];
}

// The manager's icon is in the notification area: the shell takes a change that changes nothing
// only for an icon it has, known by its callback window and ID (the process's first icon).
bool HasTrayIcon(HWND form) {
    NOTIFYICONDATAA nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = FindWindowExA(form, nullptr, "TCallbackWindow", nullptr);
    nid.uID = 1;
    return nid.hWnd && Shell_NotifyIconA(NIM_MODIFY, &nid);
}

// Another build of the program to time beside this one (tools/bench --against): a copy named
// TorvaMan.exe in a folder of its own under Dir; empty when none was given.
std::string AgainstProgram(const ts::TempDir& dir) {
    char path[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("TORVA_BENCH_AGAINST", path, sizeof path)) return std::string();
    const std::string copy = dir / "against\\TorvaMan.exe";
    CreateDirectoryA((dir / "against").c_str(), nullptr);
    return CopyFileA(path, copy.c_str(), FALSE) ? copy : std::string();
}

void Startup(int n) {
    Installation inst(Installation::Options().Registered());
    ts::TempDir dir;
    const std::string program = dir / "TorvaMan.exe";
    CopyFileA(ts::ProgramPath().c_str(), program.c_str(), FALSE);
    const std::string minimal = ts::BuildDir() + "bench\\BenchWindow.exe";
    const std::string withControls = ts::BuildDir() + "bench\\BenchWindowCC.exe";
    const std::string mockup = ts::BuildDir() + "bench\\ManagerMockup.exe";
    auto managerReady = [](HWND form) {
        const std::string text = ts::ManagerControls(form).Panel1();
        return text.find_first_not_of(' ') != std::string::npos;  // a blank until the first refresh
    };
    auto minimalReady = [](HWND w) { return ts::WindowText(FindWindowExA(w, nullptr, "STATIC", nullptr)) == "ready"; };
    const std::string against = AgainstProgram(dir);
    // The panel text first, then the tray icon, which joins a moment later.
    const std::vector<Ready> manager = {managerReady, HasTrayIcon};
    std::vector<double> mine, mineTray, base, baseControls, baseMockup, mockupTray, other, otherTray;
    auto timeManager = [&](const std::string& path, std::vector<double>& panel, std::vector<double>& tray) {
        const std::vector<double> t = TimesToWindow(ts::Quoted(path), "TManagerForm", manager);
        panel.push_back(t[0]);
        tray.push_back(t[1]);
    };
    if (!against.empty()) TimeToWindow(ts::Quoted(against), "TManagerForm", managerReady);
    TimeToWindow(ts::Quoted(program), "TManagerForm", managerReady);  // warm the file cache
    TimeToWindow(ts::Quoted(minimal), "TorvaBenchWindow", minimalReady);
    TimeToWindow(ts::Quoted(withControls), "TorvaBenchWindow", minimalReady);
    TimeToWindow(ts::Quoted(mockup), "TManagerForm", managerReady);
    for (int i = 0; i < n; ++i) {
        if (!against.empty()) timeManager(against, other, otherTray);
        timeManager(program, mine, mineTray);
        base.push_back(TimeToWindow(ts::Quoted(minimal), "TorvaBenchWindow", minimalReady));
        timeManager(mockup, baseMockup, mockupTray);
        baseControls.push_back(TimeToWindow(ts::Quoted(withControls), "TorvaBenchWindow", minimalReady));
    }
    Row("start-up to window with panel text", "ms", 1000, mine, "minimal window + tray icon", base);
    Row("  the same, against", "ms", 1000, mine, "mock-up of the window", baseMockup);
    Row("  the same, against", "ms", 1000, mine, "minimal + common controls", baseControls);
    Row("  mock-up of the window", "ms", 1000, baseMockup, "minimal window + tray icon", base);
    if (!against.empty()) Row("  the same, against", "ms", 1000, mine, "the program given (--against)", other);
    Row("start-up to the tray icon", "ms", 1000, mineTray, "minimal window + tray icon", base);
    Row("  the same, against", "ms", 1000, mineTray, "mock-up of the window", mockupTray);
    Row("  mock-up of the window", "ms", 1000, mockupTray, "minimal window + tray icon", base);
    if (!against.empty()) Row("  the same, against", "ms", 1000, mineTray, "the program given (--against)", otherTray);
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
    const std::string launch = ts::Quoted(ts::BuildDir() + "bench\\Launcher.exe") + " " + probe;
    TimeToExit(run);
    TimeToExit(launch);
    TimeToExit(ts::Quoted(probe));
    const std::string against = AgainstProgram(dir);
    const std::string againstRun = ts::Quoted(against) + " /EXE=" + probe;
    if (!against.empty()) TimeToExit(againstRun);
    // As on a user's machine: Excel registered (Excel 2016 and later register only the versionless
    // name of those asked for), and either none running or one that is told to quit.
    const std::vector<std::string> registeredIds = {"Excel.Application"};
    ts::ExcelStandIn::Options running;
    running.books = {{"基盤関数.XLA", true}, {"Book1.xls", true}};
    auto withExcel = [&] {
        ts::ExcelStandIn excel;
        if (!excel.StartWith(running)) return -1.0;
        const double t = TimeToExit(run);
        excel.WaitForExit(15000);
        return t;
    };
    {
        ts::ScopedExcelProgIds ids(registeredIds);
        TimeToExit(run);
        withExcel();
    }
    std::vector<double> mine, base, probeAlone, other, registered, told;
    // Each run starts once the last one's programs (the probe and its console host) are gone.
    for (int i = 0; i < n; ++i) {
        if (!against.empty()) {
            other.push_back(TimeToExit(againstRun));
            Sleep(300);
        }
        mine.push_back(TimeToExit(run));
        Sleep(300);
        base.push_back(TimeToExit(launch));
        Sleep(300);
        probeAlone.push_back(TimeToExit(ts::Quoted(probe)));
        Sleep(300);
        ts::ScopedExcelProgIds ids(registeredIds);
        registered.push_back(TimeToExit(run));
        Sleep(300);
        told.push_back(withExcel());
        Sleep(300);
    }
    Row("command line /EXE=probe, to exit", "ms", 1000, mine, "launcher: CreateProcess probe", base);
    Row("  the same, against", "ms", 1000, mine, "probe alone, to exit", probeAlone);
    if (!against.empty()) Row("  the same, against", "ms", 1000, mine, "the program given (--against)", other);
    Row("  Excel.Application registered, none runs", "ms", 1000, registered, "launcher: CreateProcess probe", base);
    Row("    the same, against", "ms", 1000, registered, "no Excel ProgID registered", mine);
    Row("  Excel (stand-in) running, told to quit", "ms", 1000, told, "launcher: CreateProcess probe", base);
    Row("    the same, against", "ms", 1000, told, "no Excel ProgID registered", mine);

    // The shell start against CreateProcess, each the first start in a fresh process (this
    // driver again, "shellstart"), as in a command-line run; with the flags the program uses
    // and with more that could make it quicker.
    const char* const kinds[] = {"ShellExecuteA (final program)", "ShellExecuteExA, the waited start's flags",
                                 "  the same + SEE_MASK_NOASYNC", "  the same + SEE_MASK_NOZONECHECKS"};
    std::vector<double> shell[4], create;
    const std::string self = ts::Quoted(ts::BuildDir() + "bench\\TorvaBench.exe") + " shellstart ";
    auto once = [&](int kind) {
        ts::Child child;
        const std::string out = dir / "shellstart.txt";
        child.Start(self + std::to_string(kind) + " " + ts::Quoted(probe) + " " + ts::Quoted(out));
        child.Wait(30000);
        Sleep(100);  // the probe ends
        return std::atof(ts::ReadFileBytes(out).c_str());
    };
    for (int i = 0; i < n; ++i) {
        for (int kind = 0; kind < 4; ++kind) shell[kind].push_back(once(kind));
        create.push_back(once(4));
    }
    for (int kind = 0; kind < 4; ++kind) Row(kinds[kind], "ms", 1, shell[kind], "CreateProcessA", create);
}

// One start of Probe in this fresh process: 0 ShellExecuteA, 1-3 ShellExecuteExA with the waited
// start's flags and more, 4 CreateProcessA; writes the milliseconds the call took to Out.
void ShellStart(int kind, const std::string& probe, const std::string& out) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | (kind == 2 ? SEE_MASK_NOASYNC : 0) |
                 (kind == 3 ? SEE_MASK_NOZONECHECKS : 0);
    info.lpVerb = "open";
    info.lpFile = probe.c_str();
    info.lpParameters = "";
    info.lpDirectory = "";
    info.nShow = SW_SHOW;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = ts::Quoted(probe);
    const double t0 = Now();
    if (kind == 0) {
        ShellExecuteA(nullptr, "open", probe.c_str(), "", nullptr, SW_SHOWNORMAL);
    } else if (kind == 4) {
        if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    } else if (ShellExecuteExA(&info)) {
        CloseHandle(info.hProcess);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", (Now() - t0) * 1000);
    ts::WriteFileBytes(out, text);
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


// ---- where the time of one start goes: the build with its steps marked (MarkPhase), run with
// Wine's time-stamped trace of DLL loads, DLL initialisations and debugger output. A process
// started by Wine writes its trace where this driver's standard error goes (tools/bench: a file,
// named as the third argument). Wine stamps in the milliseconds of GetTickCount, so the marks
// line up with the moment before CreateProcess.

struct Mark {
    std::string name;
    DWORD at;  // ms after CreateProcess was called
};

struct TracedRun {
    std::vector<Mark> marks;
    std::vector<Mark> loads;  // DLLs loaded once the initialisations began
    DWORD comMapping = 0;     // the time the COM libraries took to map, when the program imports them
};

// Starts CommandLine traced; T0 is the moment just before.
bool StartTraced(const std::string& commandLine, ts::Child& child, DWORD& t0) {
    // Wine takes the channels from the new process's environment: this driver stays untraced.
    char old[256] = {};
    const bool had = GetEnvironmentVariableA("WINEDEBUG", old, sizeof old) > 0;
    SetEnvironmentVariableA("WINEDEBUG", "+timestamp,+loaddll,+module,+debugstr");
    t0 = GetTickCount();
    const bool ok = child.Start(commandLine);
    SetEnvironmentVariableA("WINEDEBUG", had ? old : nullptr);
    return ok;
}

std::string Quoted(const std::string& line, size_t from) {
    const size_t open = line.find('"', from);
    if (open == std::string::npos) return std::string();
    return line.substr(open + 1, line.find('"', open + 1) - open - 1);
}

// The steps of the main thread from T0 on: the program mapped, the DLLs it imports mapped, each
// DLL initialisation that took 2 ms or more, then the program's own marks.
TracedRun ReadTrace(const std::string& traceFile, DWORD t0, DWORD thread) {
    TracedRun run;
    const std::string text = ts::ReadFileBytes(traceFile);
    std::vector<Mark> mapped;
    bool initialising = false;
    Mark init{"", 0};
    for (size_t pos = 0; pos < text.size();) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        const std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        unsigned sec = 0, ms = 0, tid = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "%u.%u:%x:%n", &sec, &ms, &tid, &used) < 3 || tid != thread) continue;
        if (sec * 1000 + ms < t0) continue;  // an earlier process with the same thread id
        const DWORD at = sec * 1000 + ms - t0;
        if (line.find(":debugstr:OutputDebugStringA ") != std::string::npos) {
            const std::string name = Quoted(line, used);
            run.marks.push_back({name == "entry" ? "runtime started, entry point" : name, at});
        } else if (line.find(":loaddll:build_module Loaded ") != std::string::npos) {
            std::string dll = Quoted(line, used);
            dll = dll.substr(dll.find_last_of('\\') + 1);
            if (initialising) {
                run.loads.push_back({dll, at});
                continue;
            }
            for (const char* com : {"ole32.dll", "oleaut32.dll", "rpcrt4.dll", "combase.dll"})
                if (_stricmp(dll.c_str(), com) == 0 && !mapped.empty()) run.comMapping += at - mapped.back().at;
            mapped.push_back({dll, at});
        } else if (line.find(":module:MODULE_InitDLL (") != std::string::npos &&
                   line.find(",PROCESS_ATTACH,") != std::string::npos) {
            // Only the initialisations the loader runs before the entry point: a DLL loaded
            // later, or by another DLL's initialisation, is called with no reserved pointer.
            const size_t reserved = line.find(",PROCESS_ATTACH,") + 16;
            if (line.find_first_not_of('0', reserved) == line.find(')', reserved)) continue;
            if (line.find(" - CALL") != std::string::npos) {
                if (!initialising && !mapped.empty()) {
                    run.marks.push_back({"process made, program mapped", mapped.front().at});
                    run.marks.push_back({"its " + std::to_string(mapped.size() - 1) + " DLLs mapped", mapped.back().at});
                }
                initialising = true;
                init = {Quoted(line, used), at};
            } else if (line.find(" - RETURN") != std::string::npos && at >= init.at + 2) {
                run.marks.push_back({init.name + " initialised", at});
            }
        }
    }
    return run;
}

// For each step that most runs have, in the order of the median moment it ended: the median
// time it took (from the step before) and, in the name, that moment; then the DLLs loaded while
// it ran. A step that only a few runs have (a DLL initialisation near 2 ms) counts in the next.
void PhaseRows(const char* title, const std::vector<TracedRun>& runs) {
    std::printf("%s\n", title);
    // A step that repeats (the refresh) is counted: "refresh begins 1", "refresh ends 1", ...
    auto namesOf = [](const TracedRun& run) {
        std::map<std::string, int> seen;
        std::vector<std::string> names;
        for (const Mark& m : run.marks)
            names.push_back(m.name.rfind("refresh ", 0) == 0 ? m.name + " " + std::to_string(++seen[m.name]) : m.name);
        return names;
    };
    std::map<std::string, size_t> runsWith;
    for (const TracedRun& run : runs)
        for (const std::string& name : namesOf(run)) ++runsWith[name];
    std::map<std::string, std::vector<double>> took, ended;
    std::map<std::string, std::string> loadsIn;
    std::vector<double> com;
    std::vector<std::string> order;  // as first seen; sorted below
    for (const TracedRun& run : runs) {
        const std::vector<std::string> names = namesOf(run);
        std::vector<size_t> kept;
        DWORD before = 0;
        for (size_t i = 0; i < names.size(); ++i) {
            if (2 * runsWith[names[i]] < runs.size()) continue;
            if (!took.count(names[i])) order.push_back(names[i]);
            took[names[i]].push_back(run.marks[i].at - before);
            ended[names[i]].push_back(run.marks[i].at);
            before = run.marks[i].at;
            kept.push_back(i);
        }
        for (const Mark& dll : run.loads) {
            size_t k = 0;
            while (k + 1 < kept.size() && run.marks[kept[k]].at < dll.at) ++k;
            if (kept.empty()) break;
            std::string& list = loadsIn[names[kept[k]]];
            if (list.find(dll.name) == std::string::npos) list += (list.empty() ? "" : ", ") + dll.name;
        }
        com.push_back(run.comMapping);
    }
    std::stable_sort(order.begin(), order.end(), [&](const std::string& a, const std::string& b) {
        return Summarise(ended[a]).median < Summarise(ended[b]).median;
    });
    for (const std::string& name : order) {
        char figure[160];
        const size_t k = took[name].size();
        std::snprintf(figure, sizeof figure, "  %s (ends at %.0f)%s", name.c_str(), Summarise(ended[name]).median,
                      k < runs.size() ? (" in " + std::to_string(k) + " of " + std::to_string(runs.size())).c_str() : "");
        Row(figure, "ms", 1, took[name]);
        if (loadsIn.count(name)) std::printf("      loads %s\n", loadsIn[name].c_str());
        if (name.rfind("its ", 0) == 0 && Summarise(com).max > 0)
            Row("    of which COM (ole32, oleaut32, rpcrt4, combase)", "ms", 1, com);
    }
}

// Marks in the order they happened; those after Until are dropped.
void Settle(TracedRun& run, DWORD until = MAXDWORD) {
    std::stable_sort(run.marks.begin(), run.marks.end(), [](const Mark& a, const Mark& b) { return a.at < b.at; });
    while (!run.marks.empty() && run.marks.back().at > until) run.marks.pop_back();
}

void Phases(int n, const std::string& trace) {
    Installation inst(Installation::Options().Registered());
    ts::TempDir dir;
    const std::string program = dir / "TorvaMan.exe";
    CopyFileA((ts::BuildDir() + "bench\\TorvaManPhases.exe").c_str(), program.c_str(), FALSE);
    const std::string probe = ts::FixturePath("Probe");
    const std::string launcher = ts::Quoted(ts::BuildDir() + "bench\\Launcher.exe") + " " + probe;
    std::vector<TracedRun> cmdline, launches, window;
    auto toExit = [&](const std::string& commandLine, bool counted, std::vector<TracedRun>& runs) {
        ts::Child child;
        DWORD t0 = 0;
        if (!StartTraced(commandLine, child, t0)) return;
        child.Wait(30000);
        const DWORD end = GetTickCount() - t0;
        TracedRun run = ReadTrace(trace, t0, child.MainThreadId());
        run.marks.push_back({"process ended", end});
        Settle(run);
        if (counted) runs.push_back(run);
        Sleep(300);
    };
    for (int i = 0; i <= n; ++i) {  // the first of each warms the file cache and is not counted
        toExit(launcher, i > 0, launches);
        toExit(ts::Quoted(program) + " /EXE=" + probe, i > 0, cmdline);
        {
            ts::Child child;
            DWORD t0 = 0;
            if (!StartTraced(ts::Quoted(program), child, t0)) return;
            DWORD seen = 0;
            HWND h = nullptr;
            while (GetTickCount() - t0 < 30000) {
                h = VisibleWindowOf(child.Pid(), "TManagerForm");
                const std::string text = h ? ts::ManagerControls(h).Panel1() : std::string();
                if (text.find_first_not_of(' ') != std::string::npos) {
                    seen = GetTickCount() - t0;
                    break;
                }
                Sleep(1);
            }
            // What still runs after the panel shows its text (more refreshes?) is shown too.
            Pump(500);
            const DWORD closed = GetTickCount() - t0;
            PostMessageA(h, WM_CLOSE, 0, 0);
            if (child.Wait(15000) < 0) child.Kill();
            TracedRun run = ReadTrace(trace, t0, child.MainThreadId());
            run.marks.push_back({"panel text seen by the driver", seen});
            Settle(run, closed);
            if (i > 0) window.push_back(run);
        }
        Sleep(1000);  // the notification area forgets the icon
    }
    PhaseRows("where the time goes: TorvaMan.exe /EXE=probe (marked build, medians)", cmdline);
    PhaseRows("the same for the launcher (Launcher.exe probe)", launches);
    PhaseRows("where the time goes: TorvaMan.exe, window (marked build, medians)", window);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: TorvaBench startup|refresh|cmdline|growth|idle [N] | phases N TRACE-FILE\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int n = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (mode == "startup") Startup(n);
    else if (mode == "refresh") Refresh(n);
    else if (mode == "cmdline") Cmdline(n);
    else if (mode == "growth") Growth(n);
    else if (mode == "idle") Idle(n);
    else if (mode == "phases" && argc > 3) Phases(n, argv[3]);
    else if (mode == "shellstart" && argc > 4) ShellStart(std::atoi(argv[2]), argv[3], argv[4]);
    else return 2;
    return 0;
}
