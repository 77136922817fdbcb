#include "manager/ManagerMarker.h"

namespace {
std::string PropertyName(const std::string& code) { return "TorvaMan.Edition." + code; }

struct Search {
    std::string property;
    HWND found;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    char cls[32];
    if (GetClassNameA(hwnd, cls, sizeof cls) && lstrcmpA(cls, "TManagerForm") == 0 &&
        GetPropA(hwnd, s->property.c_str())) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

void MarkManagerWindow(HWND window, const std::string& editionCode) {
    SetPropA(window, PropertyName(editionCode).c_str(), reinterpret_cast<HANDLE>(1));
}

void UnmarkManagerWindow(HWND window, const std::string& editionCode) {
    RemovePropA(window, PropertyName(editionCode).c_str());
}

HWND FindManagerWindow(const std::string& editionCode) {
    Search s{PropertyName(editionCode), nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

void RefreshRunningManager(const std::string& editionCode) {
    HWND window = FindManagerWindow(editionCode);
    if (!window) return;
    SetForegroundWindow(window);
    PostMessageA(window, WM_PAINT, 0, 0);
}
