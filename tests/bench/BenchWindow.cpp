// The least a resident window program does at start: one window shown with its text,
// one icon in the notification area, then the message loop. Start-up time and file
// size of the manager are compared with this. Built a second time with
// TORVA_BENCH_COMMON_CONTROLS: the same, plus loading the common controls library (with
// the program's manifest) that a status bar, hints and glyph lists need.
#include <windows.h>
#include <shellapi.h>
#ifdef TORVA_BENCH_COMMON_CONTROLS
#include <commctrl.h>
#endif

namespace {

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
#ifdef TORVA_BENCH_COMMON_CONTROLS
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
#endif
    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "TorvaBenchWindow";
    if (!RegisterClassA(&wc)) return 1;
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Bench", WS_OVERLAPPEDWINDOW, 12, 12, 240, 320, nullptr, nullptr,
                                instance, nullptr);
    if (!hwnd) return 1;
    HWND text = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 8, 95, 218, 26, hwnd, nullptr, instance, nullptr);

    NOTIFYICONDATAA nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = hwnd;
    nid.uID = 1;
    nid.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    nid.uCallbackMessage = WM_USER + 200;
    nid.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    lstrcpynA(nid.szTip, "Bench", sizeof nid.szTip);
    Shell_NotifyIconA(NIM_ADD, &nid);

    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    SetWindowTextA(text, "ready");

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    Shell_NotifyIconA(NIM_DELETE, &nid);
    return 0;
}
