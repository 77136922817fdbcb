#include "support/ExcelStandIn.h"

#include <atomic>

namespace ts {

ScopedExcelProgIds::ScopedExcelProgIds(std::vector<std::string> progIds, const std::string& clsid) {
    for (const std::string& id : progIds) {
        keys_.push_back(std::make_unique<ScopedRegKey>(HKEY_CLASSES_ROOT, id));
        RegDeleteTree(HKEY_CLASSES_ROOT, id);
        RegSet(HKEY_CLASSES_ROOT, id + "\\CLSID", "", clsid);
    }
}
ScopedExcelProgIds::~ScopedExcelProgIds() = default;

ScopedNoProgId::ScopedNoProgId(const std::string& progId) : key_(HKEY_CLASSES_ROOT, progId) {
    RegDeleteTree(HKEY_CLASSES_ROOT, progId);
}

ExcelStandIn::~ExcelStandIn() { process_.Kill(); }

bool ExcelStandIn::Start(const std::vector<StandInBook>& books) {
    Options options;
    options.books = books;
    return StartWith(options);
}

bool ExcelStandIn::StartWith(const Options& options, DWORD timeoutMs) {
    static std::atomic<int> counter{0};
    logPath_ = dir_ / "standin.log";
    std::string event = "TorvaStandInReady";
    event += std::to_string(GetCurrentProcessId());
    event += '_';
    event += std::to_string(counter++);
    UniqueHandle ready(CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
    if (!ready) return false;

    std::string cmd = Quoted(FixturePath("ExcelStandIn"));
    auto add = [&cmd](const std::string& arg) {
        cmd += ' ';
        cmd += Quoted(arg);
    };
    add("--log=" + logPath_);
    add("--ready=" + event);
    add("--clsid=" + options.clsid);
    add("--lifetime=" + std::to_string(options.lifetimeMs));
    for (const StandInBook& b : options.books) add("--book=" + b.name + (b.saved ? ":saved" : ":unsaved"));
    if (!options.window) add("--no-window");
    if (!options.title.empty()) add("--title=" + options.title);
    if (options.lingerMs) add("--linger=" + std::to_string(options.lingerMs));
    if (options.hang) add("--hang");
    if (!process_.Start(cmd)) return false;

    const HANDLE both[] = {ready.get(), process_.Handle()};
    return WaitForMultipleObjects(2, both, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

int ExcelStandIn::WaitForExit(DWORD timeoutMs) { return process_.Wait(timeoutMs); }

std::vector<std::string> ExcelStandIn::LogLines() const { return ReadLines(logPath_); }

std::vector<std::string> ExcelStandIn::CallLines() const {
    std::vector<std::string> calls;
    for (const std::string& l : LogLines())
        if (l.rfind("names ", 0) == 0 || l.rfind("call ", 0) == 0) calls.push_back(l);
    return calls;
}

std::vector<std::string> ReadLines(const std::string& path) { return SplitLines(ReadFileBytes(path)); }

std::vector<std::string> LinesStartingWith(const std::string& path, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& l : ReadLines(path))
        if (l.rfind(prefix, 0) == 0) found.push_back(l);
    return found;
}

bool WaitForLine(const std::string& path, const std::string& prefix, DWORD timeoutMs) {
    const DWORD end = GetTickCount() + timeoutMs;
    for (;;) {
        if (!LinesStartingWith(path, prefix).empty()) return true;
        if (static_cast<int>(end - GetTickCount()) <= 0) return false;
        Sleep(20);
    }
}

}  // namespace ts
