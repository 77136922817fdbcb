#include "edition/Edition.h"

#include <windows.h>

#include <cstring>

#include "environment/Handles.h"

std::string EditionCode;

std::string ModuleFileName() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

namespace {
// Started through its short 8.3 name (a batch file on the Windows 9x family does that), the
// program's module name reads TORVAM~1.EXE and the edition's digits are lost: the search gives
// the file's long name on every Windows from 95 on.
std::string OwnFileName() {
    const std::string path = ModuleFileName();
    WIN32_FIND_DATAA found;
    const UniqueFind search(path.empty() ? INVALID_HANDLE_VALUE : FindFirstFileA(path.c_str(), &found));
    return ExecutableFileName(path, search ? std::string(found.cFileName, strnlen(found.cFileName, MAX_PATH)) : "");
}
}  // namespace

int ServedExcelVersion() { return ServedVersionOfFileName(OwnFileName()); }

std::string DetectEdition() { return EditionForServedVersion(ServedExcelVersion()); }

std::string MutexNameFor(const std::string& code) { return "MutexObjectForApp" + code; }
