#include "edition/Edition.h"

#include <windows.h>

#include "environment/StrUtils.h"

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

int ServedExcelVersion() { return ServedVersionOfFileName(ExtractFileName(ModuleFileName())); }

std::string DetectEdition() { return EditionForServedVersion(ServedExcelVersion()); }

std::string MutexNameFor(const std::string& code) { return "MutexObjectForApp" + code; }
