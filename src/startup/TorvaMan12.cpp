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

// Keeps the program small: the library's own versions of these pull in its
// symbol demangler and a second string implementation. The errors still arrive
// as exceptions derived from std::exception, and an uncaught one still ends the program.
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace {
class LibraryError : public std::exception {
public:
    explicit LibraryError(const char* what) : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};
}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_logic_error(const char* s) { throw LibraryError(s); }
void __throw_range_error(const char* s) { throw LibraryError(s); }
void __throw_domain_error(const char* s) { throw LibraryError(s); }
void __throw_length_error(const char* s) { throw LibraryError(s); }
void __throw_out_of_range(const char* s) { throw LibraryError(s); }
void __throw_runtime_error(const char* s) { throw LibraryError(s); }
void __throw_overflow_error(const char* s) { throw LibraryError(s); }
void __throw_underflow_error(const char* s) { throw LibraryError(s); }
void __throw_invalid_argument(const char* s) { throw LibraryError(s); }
void __throw_out_of_range_fmt(const char* s, ...) { throw LibraryError(s); }
}  // namespace std
