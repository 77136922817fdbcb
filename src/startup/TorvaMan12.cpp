// Program entry: edition, single-instance marker, and the three paths.
#include <windows.h>

#include "startup/ArgGrammar.h"
#include "startup/CommandLine.h"
#include "startup/Edition.h"
#include "manager/TorvaMan1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    EditionCode = DetectEdition();
    const std::string mutexName = MutexNameFor(EditionCode);
    HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, mutexName.c_str());

    const std::vector<std::string> args = SplitCommandLine(GetCommandLineA());
    if (!args.empty()) {
        // The handle stays open until the process ends.
        RunCommandLineMode(args, existing != nullptr);
        return 0;
    }
    if (existing) {
        CloseHandle(existing);
        return 0;
    }
    HANDLE marker = CreateMutexA(nullptr, FALSE, mutexName.c_str());
    // Another start created it since the check above: that one owns the window.
    if (marker && GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    RunManagerWindow();
    if (marker) ReleaseMutex(marker);
    return 0;
}
