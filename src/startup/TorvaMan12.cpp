// Program entry: edition, single-instance marker, and the three paths.
#include <windows.h>

#include "edition/Edition.h"
#include "environment/Handles.h"
#include "environment/Phases.h"
#include "manager/TorvaMan1.h"
#include "startup/ArgGrammar.h"
#include "startup/CommandLine.h"

namespace {

void Run() {
    EditionCode = DetectEdition();
    const std::string mutexName = MutexNameFor(EditionCode);
    // Only the answer is kept: a handle held through a command-line run, which can wait for
    // hours, would keep out a manager started after the one it saw had closed.
    const bool managerRunning = static_cast<bool>(UniqueHandle(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, mutexName.c_str())));

    const std::vector<std::string> args = SplitCommandLine(GetCommandLineA());
    if (!args.empty()) {
        RunCommandLineMode(args, managerRunning);
        return;
    }
    if (managerRunning) return;
    HANDLE marker = CreateMutexA(nullptr, FALSE, mutexName.c_str());
    // Another start created it since the check above: that one owns the window.
    if (marker && GetLastError() == ERROR_ALREADY_EXISTS) return;

    RunManagerWindow();
    if (marker) ReleaseMutex(marker);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Every path ends with 0, which update scripts rely on; each step reports its own
    // failures, so whatever still escapes them only ends the run.
    MarkPhase("entry");
    try {
        Run();
    } catch (...) {
    }
    MarkPhase("end");
    return 0;
}
