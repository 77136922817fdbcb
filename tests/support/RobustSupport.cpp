#include "support/RobustSupport.h"

namespace ts {

std::vector<RunResult> RunToEnd(std::vector<Child*> children, DWORD timeoutMs) {
    std::vector<RunResult> results(children.size());
    std::vector<HWND> answered(children.size(), nullptr);
    const DWORD end = GetTickCount() + timeoutMs;
    for (;;) {
        bool running = false;
        for (size_t i = 0; i < children.size(); ++i) {
            if (!children[i]->Running()) continue;
            running = true;
            const MessageBoxInfo box = WaitForMessageBox(children[i]->Pid(), 0);
            // A box that was answered may stay listed for a moment while it closes.
            if (!box.hwnd || (box.hwnd == answered[i] && IsWindow(box.hwnd))) continue;
            results[i].boxes.push_back(box.caption + "|" + box.text);
            answered[i] = box.hwnd;
            ClickButton(box.hwnd);
        }
        if (!running || static_cast<int>(end - GetTickCount()) <= 0) break;
        Sleep(20);
    }
    for (size_t i = 0; i < children.size(); ++i) results[i].code = children[i]->Wait(0);
    return results;
}

RunResult RunToEnd(Child& child, DWORD timeoutMs) { return RunToEnd(std::vector<Child*>{&child}, timeoutMs)[0]; }

bool AddinSurvives(const Installation& inst) {
    const std::string bytes = Installation::AddinBytes();
    return ReadFileBytes(inst.Parked()) == bytes || ReadFileBytes(inst.Installed()) == bytes;
}

}  // namespace ts
