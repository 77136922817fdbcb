#include "manager/TorvaMan1.h"

#include <windows.h>

namespace {
LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
}  // namespace

void RunManagerWindow() {
    // Interim window: the real form's class name and caption, nothing else yet.
    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "TManagerForm";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "TManagerForm", "Torvaマネージャ", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                20, 20, 241, 330, nullptr, nullptr, wc.hInstance, nullptr);
    if (!hwnd) return;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}
