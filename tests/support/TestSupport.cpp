#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "environment/Profile.h"
#include "environment/StrUtils.h"

namespace ts {

namespace {
std::string ModulePath() {
    char buf[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return std::string(buf, n);
}
std::string FolderOf(const std::string& path) {
    const size_t p = path.find_last_of('\\');
    return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}
}  // namespace

std::string BuildDir() {
    std::string tests = FolderOf(ModulePath());             // ...\build\tests\ (or its copy)
    return FolderOf(tests.substr(0, tests.size() - 1));    // the build folder
}
std::string ProgramPath() { return BuildDir() + "TorvaMan.exe"; }
std::string FixturePath(const std::string& name) { return BuildDir() + "fixtures\\" + name + ".exe"; }

// ---- files -----------------------------------------------------------------
bool FileExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    UniqueHandle f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    DWORD w = 0;
    return WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &w, nullptr) && w == bytes.size();
}

std::string ReadFileBytes(const std::string& path) {
    UniqueHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return std::string();
    std::string out(GetFileSize(f.get(), nullptr), '\0');
    DWORD r = 0;
    if (!out.empty()) ReadFile(f.get(), out.data(), static_cast<DWORD>(out.size()), &r, nullptr);
    out.resize(r);
    return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void RemoveTree(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    const std::string base = path.back() == '\\' ? path : path + "\\";
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((base + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string n = fd.cFileName;
            if (n != "." && n != "..") RemoveTree(base + n);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(base.c_str());
}

TempDir::TempDir(const std::string& base) {
    static std::atomic<int> counter{0};
    char tmp[MAX_PATH] = {};
    if (base.empty())
        GetTempPathA(sizeof tmp, tmp);
    else
        lstrcpynA(tmp, AddTrailingBackslash(base).c_str(), sizeof tmp);
    for (;;) {
        path_ = std::string(tmp) + "torva" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(counter++) + "\\";
        if (CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
}
TempDir::~TempDir() { RemoveTree(path_); }

ScopedFileBackup::ScopedFileBackup(std::string path) : path_(std::move(path)), existed_(FileExists(path_)) {
    if (existed_) bytes_ = ReadFileBytes(path_);
}
ScopedFileBackup::~ScopedFileBackup() {
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (existed_)
        WriteFileBytes(path_, bytes_);
    else
        DeleteFileA(path_.c_str());
}

namespace {
// The host's name of a path, through Wine's own export; empty outside Wine.
std::string UnixPathOf(const std::string& path) {
    using Fn = char*(CDECL*)(const wchar_t*);
    const auto toUnix = LookupProc<Fn>(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    wchar_t wide[MAX_PATH * 2] = {};
    if (!toUnix || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 2)) return std::string();
    char* unix = toUnix(wide);
    if (!unix) return std::string();
    std::string result(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}
// Starts a host program (Wine starts ELF programs too, named with their extensionless path); the
// arguments must be ASCII. Wine hands out no process handle that can be waited on for it.
bool StartHost(const std::string& program, const std::vector<std::string>& args) {
    std::string command = Quoted(program);
    for (const std::string& a : args) command.append(" ").append(Quoted(a));
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool WaitFor(bool wanted, const std::string& path) {
    for (int i = 0; i < 250 && Exists(path) != wanted; ++i) Sleep(20);
    return Exists(path) == wanted;
}
}  // namespace

ScopedSymlink::ScopedSymlink(const std::string& link, const std::string& target) : link_(link) {
    const std::string to = UnixPathOf(target);
    unixLink_ = UnixPathOf(link);
    made_ = !to.empty() && !unixLink_.empty() && !Exists(link) && StartHost("Z:\\bin\\ln", {"-s", to, unixLink_}) &&
            WaitFor(true, link);
}

ScopedSymlink::~ScopedSymlink() {
    if (made_ && StartHost("Z:\\bin\\rm", {unixLink_})) WaitFor(false, link_);
}

// ---- registry --------------------------------------------------------------
UniqueHKey OpenOtherViewSoftware() {
    UniqueHKey key;
    const REGSAM other = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | other, key.put());
    return key;
}

struct ScopedRegKey::Node {
    struct Value {
        std::string name, data;
        DWORD type;
    };
    std::vector<Value> values;
    std::vector<std::pair<std::string, std::unique_ptr<Node>>> children;
};

namespace {
std::unique_ptr<ScopedRegKey::Node> Snapshot(HKEY key) {
    auto node = std::make_unique<ScopedRegKey::Node>();
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLen = sizeof name, type = 0, dataLen = 0;
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, nullptr, &dataLen) != ERROR_SUCCESS) break;
        std::string data(dataLen, '\0');
        nameLen = sizeof name;
        RegEnumValueA(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &dataLen);
        data.resize(dataLen);
        node->values.push_back({std::string(name, nameLen), data, type});
    }
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD nameLen = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        UniqueHKey child;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, child.put()) == ERROR_SUCCESS)
            node->children.emplace_back(std::string(name, nameLen), Snapshot(child.get()));
    }
    return node;
}

void Restore(HKEY parent, const std::string& name, const ScopedRegKey::Node& node) {
    UniqueHKey key;
    if (RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return;
    for (const auto& v : node.values)
        RegSetValueExA(key.get(), v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                       static_cast<DWORD>(v.data.size()));
    for (const auto& [childName, child] : node.children) Restore(key.get(), childName, *child);
}
}  // namespace

ScopedRegKey::ScopedRegKey(HKEY root, std::string path) : root_(root), path_(std::move(path)), saved_(nullptr) {
    UniqueHKey key;
    if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS)
        saved_ = Snapshot(key.get()).release();
}

ScopedRegKey::~ScopedRegKey() {
    RegDeleteTree(root_, path_);
    if (saved_) {
        Restore(root_, path_, *saved_);
        delete saved_;
    }
}

bool RegSetBinary(HKEY root, const std::string& path, const std::string& name, const std::string& bytes,
                  DWORD type) {
    UniqueHKey key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), name.empty() ? nullptr : name.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())) ==
           ERROR_SUCCESS;
}

bool RegSet(HKEY root, const std::string& path, const std::string& name, const std::string& value, DWORD type) {
    return RegSetBinary(root, path, name, std::string(value.c_str(), value.size() + 1), type);
}

bool RegGet(HKEY root, const std::string& path, const std::string& name, std::string& value) {
    UniqueHKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    DWORD type = 0, len = 0;
    const char* n = name.empty() ? nullptr : name.c_str();
    if (RegQueryValueExA(key.get(), n, nullptr, &type, nullptr, &len) != ERROR_SUCCESS) return false;
    std::string data(len, '\0');
    if (RegQueryValueExA(key.get(), n, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &len) != ERROR_SUCCESS)
        return false;
    data.resize(len);
    while (!data.empty() && data.back() == '\0') data.pop_back();
    value = data;
    return true;
}

bool RegKeyExists(HKEY root, const std::string& path) {
    UniqueHKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void RegDeleteTree(HKEY root, const std::string& path) {
    UniqueHKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) == ERROR_SUCCESS) {
        std::vector<std::string> names;
        for (DWORD i = 0;; ++i) {
            char name[1024];
            DWORD len = sizeof name;
            if (RegEnumKeyExA(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.emplace_back(name, len);
        }
        for (const auto& n : names) RegDeleteTree(key.get(), n);
    }
    key.reset();
    RegDeleteKeyA(root, path.c_str());
}

ReadOnlyKey::ReadOnlyKey(HKEY root, const std::string& path) {
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC | READ_CONTROL, key_.put())) << path;
    DWORD size = sizeof saved_;
    RegGetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, saved_, &size);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    auto* acl = reinterpret_cast<PACL>(acl_);
    InitializeAcl(acl, sizeof acl_, ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, &sd));
    FreeSid(everyone);
    // Wine opens every key with the most access allowed under the 9x family, as that family has
    // no registry security; writing is refused all the same.
    UniqueHKey probe;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, path.c_str(), 0, MAXIMUM_ALLOWED, probe.put()));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(probe.get(), "probe", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2))
        << path;
}
ReadOnlyKey::~ReadOnlyKey() { RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, saved_); }

ScopedWineVersion::ScopedWineVersion(const std::string& exeName, const std::string& version) {
    const std::string path = "Software\\Wine\\AppDefaults\\" + exeName;
    key_ = std::make_unique<ScopedRegKey>(HKEY_CURRENT_USER, path);
    RegSet(HKEY_CURRENT_USER, path, "Version", version);
}
ScopedWineVersion::~ScopedWineVersion() = default;

// ---- processes -------------------------------------------------------------
std::string Quoted(const std::string& s) {
    std::string r;
    r.reserve(s.size() + 2);
    r += '"';
    r += s;
    r += '"';
    return r;
}

bool Child::Start(const std::string& commandLine, const std::vector<std::string>& env) {
    std::string block;
    if (!env.empty()) {
        char* cur = GetEnvironmentStringsA();
        for (const char* p = cur; *p; p += strlen(p) + 1) block += std::string(p) + '\0';
        FreeEnvironmentStringsA(cur);
        for (const auto& e : env) block += e + '\0';
        block += '\0';
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, env.empty() ? nullptr : block.data(),
                        nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    pid_ = pi.dwProcessId;
    thread_ = pi.dwThreadId;
    return true;
}

int Child::Wait(DWORD timeoutMs) {
    if (!process_) return -1;
    if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
        Kill();
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return static_cast<int>(code);
}

bool Child::Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

void Child::Kill() {
    if (Running()) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}

Child::~Child() { Kill(); }

namespace {
DWORD WINAPI RunThreadBody(void* body) {
    (*static_cast<std::function<void()>*>(body))();
    return 0;
}
}  // namespace

Thread::Thread(std::function<void()> body) : body_(std::move(body)) {
    DWORD id = 0;
    handle_.reset(CreateThread(nullptr, 0, RunThreadBody, &body_, 0, &id));
}

Thread::~Thread() { join(); }

void Thread::join() {
    if (!handle_) return;
    WaitForSingleObject(handle_.get(), INFINITE);
    handle_.reset();
}

int RunAndWait(const std::string& commandLine, DWORD timeoutMs, const std::vector<std::string>& env) {
    Child c;
    if (!c.Start(commandLine, env)) return -1;
    return c.Wait(timeoutMs);
}

int RunSelfAs(const std::string& version, const std::string& filter) {
    const std::string self = ModulePath();
    const std::string base = self.substr(self.find_last_of('\\') + 1);
    const std::string name = base.substr(0, base.size() - 4) + "_" + version + ".exe";
    const std::string copy = FolderOf(self) + name;
    if (!CopyFileA(self.c_str(), copy.c_str(), FALSE)) return -2;
    int rc;
    {
        ScopedWineVersion v(name, version);
        rc = RunAndWait(Quoted(copy) + " --gtest_brief=1 \"--gtest_filter=" + filter + "\"", 300000,
                        {"TORVA_WINVER=" + version});
    }
    DeleteFileA(copy.c_str());
    return rc;
}

std::string RunningUnder() {
    char buf[64];
    const DWORD n = GetEnvironmentVariableA("TORVA_WINVER", buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

namespace {
constexpr const char* kDesktopKey = "Control Panel\\Desktop";

// One registry value of the user's for a scope: what it held (or that it was missing) comes back.
class ScopedRegValue {
public:
    ScopedRegValue(HKEY root, std::string path, std::string name)
        : root_(root), path_(std::move(path)), name_(std::move(name)) {
        UniqueHKey key;
        if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
        DWORD length = 0;
        if (RegQueryValueExA(key.get(), name_.c_str(), nullptr, &type_, nullptr, &length) != ERROR_SUCCESS) return;
        data_.resize(length);
        existed_ = RegQueryValueExA(key.get(), name_.c_str(), nullptr, &type_, reinterpret_cast<BYTE*>(data_.data()),
                                    &length) == ERROR_SUCCESS;
        data_.resize(length);
    }
    ~ScopedRegValue() {
        if (existed_) {
            RegSetBinary(root_, path_, name_, data_, type_);
            return;
        }
        UniqueHKey key;
        if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
            RegDeleteValueA(key.get(), name_.c_str());
    }
    ScopedRegValue(const ScopedRegValue&) = delete;
    ScopedRegValue& operator=(const ScopedRegValue&) = delete;

private:
    HKEY root_;
    std::string path_, name_, data_;
    DWORD type_ = 0;
    bool existed_ = false;
};

std::string EnvironmentText(const char* name) {
    char buf[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}
}  // namespace

int RunSelfAtDpi(int dpi, const std::string& filter) {
    TempDir dir;
    const std::string mark = dir / "ran";
    const ScopedRegValue logPixels(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
    const DWORD value = static_cast<DWORD>(dpi);
    if (!RegSetBinary(HKEY_CURRENT_USER, kDesktopKey, "LogPixels",
                      std::string(reinterpret_cast<const char*>(&value), sizeof value), REG_DWORD))
        return -2;
    const int rc = RunAndWait(Quoted(ModulePath()) + " --gtest_brief=1 \"--gtest_filter=" + filter + "\"", 300000,
                              {"TORVA_DPI=" + std::to_string(dpi), "TORVA_DPI_MARK=" + mark});
    return rc == 0 && !FileExists(mark) ? -3 : rc;
}

int DpiOfThisRun() {
    const std::string mark = EnvironmentText("TORVA_DPI_MARK");
    if (!mark.empty()) WriteFileBytes(mark, "ran");
    return std::atoi(EnvironmentText("TORVA_DPI").c_str());
}

// ---- windows ---------------------------------------------------------------
HWND CreateTestWindow(const char* className, const char* title, WNDPROC proc, DWORD style, int x, int y, int width,
                      int height) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(0, className, title, style, x, y, width, height, nullptr, nullptr, wc.hInstance, nullptr);
}

std::string WindowText(HWND hwnd) {
    char buf[4096] = {};
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000,
                             &len))
        return std::string();
    return std::string(buf, len < sizeof buf ? len : sizeof buf - 1);
}

std::string ClassOf(HWND hwnd) {
    char buf[256];
    const int n = GetClassNameA(hwnd, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

void PumpMessages(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(5);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs) {
    const DWORD end = GetTickCount() + timeoutMs;
    for (;;) {
        HWND h = FindWindowA(className, title);
        if (h && IsWindowVisible(h)) return h;
        if (static_cast<int>(end - GetTickCount()) <= 0) return nullptr;
        Sleep(10);
    }
}

bool WaitForNoWindow(const char* className, const char* title, DWORD timeoutMs) {
    const DWORD end = GetTickCount() + timeoutMs;
    while (FindWindowA(className, title)) {
        if (static_cast<int>(end - GetTickCount()) <= 0) return false;
        Sleep(10);
    }
    return true;
}

namespace {
struct BoxSearch {
    DWORD pid;
    HWND found;
};
BOOL CALLBACK FindBox(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<BoxSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if ((s->pid == 0 || pid == s->pid) && IsWindowVisible(h) && ClassOf(h) == "#32770") {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

namespace {
struct ProcessWindows {
    std::vector<DWORD> pids;
    std::string cls;
    std::vector<HWND> found;
};
BOOL CALLBACK CollectWindows(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<ProcessWindows*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    for (DWORD p : s->pids)
        if (p == pid && ClassOf(h) == s->cls) s->found.push_back(h);
    return TRUE;
}
std::vector<HWND> WindowsOf(const std::vector<DWORD>& pids, const char* className) {
    ProcessWindows s{pids, className, {}};
    EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&s));
    return s.found;
}
}  // namespace

HWND WaitForProcessWindow(DWORD pid, const char* className, DWORD timeoutMs) {
    const DWORD end = GetTickCount() + timeoutMs;
    for (;;) {
        for (HWND h : WindowsOf({pid}, className))
            if (IsWindowVisible(h)) return h;
        if (static_cast<int>(end - GetTickCount()) <= 0) return nullptr;
        Sleep(10);
    }
}

int CountProcessWindows(const std::vector<DWORD>& pids, const char* className) {
    return static_cast<int>(WindowsOf(pids, className).size());
}

MessageBoxInfo WaitForMessageBox(DWORD pid, DWORD timeoutMs) {
    const DWORD end = GetTickCount() + timeoutMs;
    for (;;) {
        BoxSearch s{pid, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
        if (s.found) {
            MessageBoxInfo info;
            info.hwnd = s.found;
            info.caption = WindowText(s.found);
            if (HWND text = GetDlgItem(s.found, 0xFFFF)) info.text = WindowText(text);
            return info;
        }
        if (static_cast<int>(end - GetTickCount()) <= 0) return {};
        Sleep(10);
    }
}

void ClickButton(HWND dialog, int id) {
    if (HWND b = GetDlgItem(dialog, id))
        SendMessageTimeoutA(b, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    else
        PostMessageA(dialog, WM_COMMAND, id, 0);
}

// ---- message box recorder --------------------------------------------------------
MessageBoxRecorder::MessageBoxRecorder(int answer) : answer_(answer) {
    SetMessageBoxHook([this](HWND owner, const std::string& text, UINT flags, const std::string& caption) {
        calls_.push_back({owner, text, flags, caption});
        if (onShow) onShow(calls_.back());
        return answer_;
    });
}
MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxHook(nullptr); }

}  // namespace ts
