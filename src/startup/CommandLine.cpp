#include "startup/CommandLine.h"

#include <windows.h>

#include "edition/Edition.h"
#include "environment/Launch.h"
#include "environment/Phases.h"
#include "environment/StrUtils.h"
#include "excel/ExcelAutomation.h"
#include "manager/Addin.h"
#include "manager/ManagerMarker.h"
#include "startup/ArgGrammar.h"
#include "ui/AppHandle.h"

namespace {

// The waits for a window to go away would otherwise keep a processor busy for
// as long as the other program runs, which can be hours.
constexpr DWORD kWatchPollMs = 20;

bool WindowExists(const std::string& cls, const std::string& title) {
    return FindWindowA(cls.c_str(), title.c_str()) != nullptr;
}

void WaitWhileWindowExists(const std::string& cls, const std::string& title) {
    while (WindowExists(cls, title)) Sleep(kWatchPollMs);
}

class Run {
public:
    Run(const std::vector<std::string>& args, bool managerRunning)
        : values_(ParseArguments(args)), managerRunning_(managerRunning) {}

    void Execute() {
        CloseRunningExcel(ExcelVersionOfEdition(EditionCode));
        MarkPhase("Excel told to quit");
        if (!Switch("E")) return;
        MarkPhase("add-in off");
        if (!values_.runPath.empty()) RunProgram(values_.runPath, "", EnsureApplicationHandle(), 1);
        if (!Switch("S")) return;
        MarkPhase("add-in on");
        if (!WatchWindows()) return;
        if (!values_.exePath.empty()) RunProgram(values_.exePath, "", ApplicationHandle(), 0, EnsureApplicationHandle);
        MarkPhase("final program started");
    }

private:
    bool Switch(const char* letter) {
        if (!SwitchAddin(letter)) return false;
        if (managerRunning_) RefreshRunningManager(EditionCode);
        return true;
    }

    // False when the run is to stop here.
    bool WatchWindows() {
        std::string watch = values_.cwSpec;
        if (ContainsNoCase(watch, "/VRK")) watch = "/CW=TApplication,ＶＲＫ,VRK";
        if (!ContainsNoCase(watch, "/CW=")) return true;
        watch = GetToken(watch, 2, "=");
        if (watch.empty()) return false;
        const std::string cls = GetToken(watch, 1, ",");
        const std::string goneTitle = GetToken(watch, 2, ",");
        const std::string watchTitle = GetToken(watch, 3, ",");

        WaitWhileWindowExists(cls, goneTitle);
        Sleep(1000);
        bool seen = false;
        for (int i = 0; i < 1001; ++i) {
            if (WindowExists(cls, watchTitle)) {
                if (!Switch("E")) return false;
                seen = true;
                break;
            }
        }
        if (seen) {
            Sleep(1000);
            WaitWhileWindowExists(cls, watchTitle);
            if (!Switch("S")) return false;
        }
        return true;
    }

    CommandLineValues values_;
    bool managerRunning_;
};

}  // namespace

// The application window, owner of the run's message boxes and hidden while a program is waited
// for, is made only when one of those needs it: the first window of a process loads the display
// driver and the theme engine, and an ordinary run shows nothing.
void RunCommandLineMode(const std::vector<std::string>& args, bool managerRunning) {
    Run(args, managerRunning).Execute();
}
