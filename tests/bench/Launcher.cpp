// The least program that does what a command-line run does last: it starts one program with
// CreateProcess and ends without waiting for it. Launcher.exe COMMAND-LINE
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Past this program's own name, quoted or not, and the blanks after it.
    char* p = GetCommandLineA();
    const char end = *p == '"' ? '"' : ' ';
    if (*p == '"') ++p;
    while (*p && *p != end) ++p;
    if (*p == '"') ++p;
    while (*p == ' ') ++p;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (*p && CreateProcessA(nullptr, p, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return 0;
}
