#include "environment/Launch.h"

#include <shellapi.h>

#include "environment/Handles.h"
#include "environment/Profile.h"
#include "environment/StrUtils.h"

#if !defined(_WIN64)
static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "the shell's record on 32-bit Windows");
#endif

namespace {

// The shell takes a program path of fewer than MAX_PATH characters; a longer one cannot be
// started, and some shells overrun a buffer on it, so it is never handed over.
bool StartablePath(const std::string& fileName) {
    const int chars = MultiByteToWideChar(CP_ACP, 0, fileName.data(), static_cast<int>(fileName.size()), nullptr, 0);
    return chars < MAX_PATH;
}

bool StartAndWait(const std::string& fileName, const std::string& parameters, HWND owner) {
    // The owner stays out of the way until the started program is done.
    EnableWindow(owner, FALSE);
    ShowWindow(owner, SW_HIDE);

    bool ok = false;
    try {
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        // Without NO_UI the shell explains a failed start in a box of its own, which
        // would stop an unattended run until someone closes it.
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.hwnd = owner;
        info.lpVerb = "open";
        info.lpFile = fileName.c_str();
        info.lpParameters = parameters.c_str();
        info.lpDirectory = "";
        info.nShow = SW_SHOW;
        ok = StartablePath(fileName) && ShellExecuteExA(&info) != FALSE;
        // A document handed to an already running program yields no process to wait for.
        UniqueHandle process(ok ? info.hProcess : nullptr);
        if (process) WaitForSingleObject(process.get(), INFINITE);
    } catch (...) {
        ok = false;
    }

    EnableWindow(owner, TRUE);
    ShowWindow(owner, SW_SHOW);
    SetForegroundWindow(owner);
    return ok;
}

bool StartAndReturn(const std::string& fileName, const std::string& parameters, HWND owner, HWND (*makeOwner)()) {
    const auto r = StartablePath(fileName) ? reinterpret_cast<INT_PTR>(ShellExecuteA(
                                                 owner, "open", fileName.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL))
                                           : INT_PTR{SE_ERR_PNF};
    if (r > 32) return true;
    ShowMessageBox(makeOwner ? makeOwner() : owner, StartErrorMessage(static_cast<int>(r), fileName),
                   MB_OK | MB_ICONERROR, "エラー");
    return false;
}

}  // namespace

bool RunProgram(const std::string& fileName, const std::string& parameters, HWND owner, int waitMode,
                HWND (*makeOwner)()) {
    if (waitMode == 1) return StartAndWait(fileName, parameters, makeOwner ? makeOwner() : owner);
    return StartAndReturn(fileName, parameters, owner, makeOwner);
}

std::string StartErrorMessage(int code, const std::string& fileName) {
    switch (code) {
    case 0: return "システムメモリ不足、またはプログラムファイルが破損しています。";
    case 2: return "指定のファイルがみつかりません。";
    case 3: return "指定のパスは無効です。";
    case 5: return "共有エラーまたはプロテクションエラーが発生しました。";
    case 6: return "各タスクごとに別々のデータセグメントが必要です。";
    case 8: return "メモリ不足のためプログラムを起動できません。";
    case 10: return "Windowsのバージョンが不正です。";
    case 11: return "指定のプログラムファイルが無効です。";
    case 12: return "他のOSが必要です。";
    case 13: return "MS-DOS 4.0が必要です。";
    case 14: return "指定のプログラムファイル名が正しくありません。";
    case 15: return "このWindowsプログラムはプロテクトメモリ・モードをサポートしてません。";
    case 16: return "2番目のインスタンスのロード時におけるデータセグメントが無効です。";
    case 19: return "圧縮しているプログラムファイルを実行しようとしました。";
    case 20: return "DLLが無効です。";
    case 21: return "Windowsの32ビット拡張が必要です。";
    case 31:
        return "拡張子( " + ExtractFileExt(fileName) + " )にはプログラムが関連づけされてません。\n\n指定の " + fileName +
               " を開くことはできませんでした。";
    default: return "予期せぬエラーが発生しました。";
    }
}
