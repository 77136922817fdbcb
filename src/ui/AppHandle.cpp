#include "ui/AppHandle.h"

namespace {
HWND g_app = nullptr;

LRESULT CALLBACK AppProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd, msg, wp, lp); }
}  // namespace

HWND ApplicationHandle() { return g_app; }

void SetApplicationHandle(HWND hwnd) { g_app = hwnd; }

HWND EnsureApplicationHandle() {
    if (g_app) return g_app;
    WNDCLASSA wc{};
    wc.lpfnWndProc = AppProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TorvaManApplication";
    RegisterClassA(&wc);
    // Zero-sized and a tool window: showing it after a waited-for program shows nothing.
    g_app = CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, "TorvaMan", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            wc.hInstance, nullptr);
    return g_app;
}
