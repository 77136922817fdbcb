// Helpers shared by the test programs that run under Wine.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "environment/Handles.h"

namespace ts {

// ---- places --------------------------------------------------------------
// The build folder with a trailing backslash (the test programs live in its tests\).
std::string BuildDir();
// build\TorvaMan.exe, and build\fixtures\NAME.exe.
std::string ProgramPath();
std::string FixturePath(const std::string& name);

// ---- files -----------------------------------------------------------------
bool FileExists(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);  // empty when missing
// The lines of a text (CR LF or LF), without their ends.
std::vector<std::string> SplitLines(const std::string& text);
// Deletes a file or a folder tree (attributes cleared first); missing is fine.
void RemoveTree(const std::string& path);

// A fresh folder under %TEMP% (or under Base), removed with everything in it at the end.
class TempDir {
public:
    explicit TempDir(const std::string& base = "");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }  // ends with a backslash
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Keeps a file's bytes (or its absence) and puts them back at the end.
class ScopedFileBackup {
public:
    explicit ScopedFileBackup(std::string path);
    ~ScopedFileBackup();
    ScopedFileBackup(const ScopedFileBackup&) = delete;
    ScopedFileBackup& operator=(const ScopedFileBackup&) = delete;

private:
    std::string path_, bytes_;
    bool existed_;
};

// Makes Link (a path that does not exist yet, in a folder that does) a symbolic link to the folder
// Target for the scope. Wine's CreateSymbolicLinkA makes nothing, so the host's ln makes it.
class ScopedSymlink {
public:
    ScopedSymlink(const std::string& link, const std::string& target);
    ~ScopedSymlink();
    ScopedSymlink(const ScopedSymlink&) = delete;
    ScopedSymlink& operator=(const ScopedSymlink&) = delete;
    bool Made() const { return made_; }

private:
    std::string link_, unixLink_;
    bool made_ = false;
};

// ---- registry --------------------------------------------------------------
// HKEY_LOCAL_MACHINE\SOFTWARE as programs of the other bitness see it (the test prefix is a 64-bit
// Windows); closed at the end.
UniqueHKey OpenOtherViewSoftware();

// Snapshots a key with its whole subtree (or its absence) and restores it at the end.
class ScopedRegKey {
public:
    ScopedRegKey(HKEY root, std::string path);
    ~ScopedRegKey();
    ScopedRegKey(const ScopedRegKey&) = delete;
    ScopedRegKey& operator=(const ScopedRegKey&) = delete;
    struct Node;

private:
    HKEY root_;
    std::string path_;
    Node* saved_;  // null when the key did not exist
};

bool RegSet(HKEY root, const std::string& path, const std::string& name, const std::string& value,
            DWORD type = REG_SZ);
bool RegSetBinary(HKEY root, const std::string& path, const std::string& name, const std::string& bytes,
                  DWORD type);
bool RegGet(HKEY root, const std::string& path, const std::string& name, std::string& value);
bool RegKeyExists(HKEY root, const std::string& path);
void RegDeleteTree(HKEY root, const std::string& path);

// Lets everyone only read the key until the end of the scope: on the NT family full access is
// refused, on both families writing.
class ReadOnlyKey {
public:
    ReadOnlyKey(HKEY root, const std::string& path);
    ~ReadOnlyKey();
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;

private:
    UniqueHKey key_;
    alignas(8) BYTE saved_[4096] = {}, acl_[256] = {};
};

// Wine reports another Windows to programs of this file name (win98, nt40, winxp, vista, win7).
class ScopedWineVersion {
public:
    ScopedWineVersion(const std::string& exeName, const std::string& version);
    ~ScopedWineVersion();

private:
    std::unique_ptr<ScopedRegKey> key_;
};

// ---- processes -------------------------------------------------------------
// "S" with double quotes around it, for command lines.
std::string Quoted(const std::string& s);

class Child {
public:
    Child() = default;
    // Starts a command line; Env entries "NAME=value" are added to this environment.
    bool Start(const std::string& commandLine, const std::vector<std::string>& env = {});
    // Exit code, or -1 after TimeoutMs (the process is then killed).
    int Wait(DWORD timeoutMs);
    bool Running() const;
    DWORD Pid() const { return pid_; }
    DWORD MainThreadId() const { return thread_; }
    HANDLE Handle() const { return process_.get(); }
    void Kill();
    ~Child();

private:
    UniqueHandle process_;
    DWORD pid_ = 0, thread_ = 0;
};

// A thread of this process that runs Body (the win32 thread model has no std::thread).
class Thread {
public:
    explicit Thread(std::function<void()> body);
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread();  // joins
    bool joinable() const { return static_cast<bool>(handle_); }
    void join();

private:
    std::function<void()> body_;
    UniqueHandle handle_;
};

// Runs a command line to its end; -1 on time-out or failure to start.
int RunAndWait(const std::string& commandLine, DWORD timeoutMs = 60000,
               const std::vector<std::string>& env = {});

// Copies this test program under another name that Wine reports as Version, runs
// the tests matching Filter there (TORVA_WINVER tells them), returns its exit code.
int RunSelfAs(const std::string& version, const std::string& filter);
// The version this process was started under by RunSelfAs, or empty.
std::string RunningUnder();
// Skips the test unless RunSelfAs started this process under Version.
#define REQUIRE_WINDOWS_VERSION(v)                                        \
    do {                                                                  \
        if (::ts::RunningUnder() != (v)) GTEST_SKIP() << "runs under " v; \
    } while (0)

// Runs the tests matching Filter in a new process of this test program that Wine gives Dpi as the
// screen's dpi: LogPixels under HKCU\Control Panel\Desktop, which programs started after it is set
// read, put back as it was afterwards. Its exit code; -3 when no test there asked DpiOfThisRun.
int RunSelfAtDpi(int dpi, const std::string& filter);
// The dpi RunSelfAtDpi started this process at, 0 otherwise; asking tells RunSelfAtDpi a test ran.
int DpiOfThisRun();

// ---- windows -------------------------------------------------------------------
// A top-level window of this thread; its class is registered on first use.
HWND CreateTestWindow(const char* className, const char* title, WNDPROC proc = DefWindowProcA,
                      DWORD style = WS_OVERLAPPED, int x = 0, int y = 0, int width = 50, int height = 50);

// ---- windows of other processes ----------------------------------------------
std::string WindowText(HWND hwnd);
std::string ClassOf(HWND hwnd);
// A visible top-level window of that class (and title, unless null) within TimeoutMs.
HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs);
// Waits until no such window exists; false on time-out.
bool WaitForNoWindow(const char* className, const char* title, DWORD timeoutMs);

// A visible top-level window of process Pid and that class within TimeoutMs.
HWND WaitForProcessWindow(DWORD pid, const char* className, DWORD timeoutMs);
// How many top-level windows of that class belong to the given processes.
int CountProcessWindows(const std::vector<DWORD>& pids, const char* className);

struct MessageBoxInfo {
    HWND hwnd = nullptr;
    std::string caption, text;
};
// A message box ("#32770") of process Pid (any process for 0) within TimeoutMs.
MessageBoxInfo WaitForMessageBox(DWORD pid, DWORD timeoutMs);
// Presses a button of a dialog (1 = OK).
void ClickButton(HWND dialog, int id = IDOK);
// Runs Pump (this thread's messages) while waiting: for windows created in this process.
void PumpMessages(DWORD ms);

// ---- message boxes of this process ----------------------------------------------
class MessageBoxRecorder {
public:
    struct Call {
        HWND owner;
        std::string text;
        UINT flags;
        std::string caption;
    };
    explicit MessageBoxRecorder(int answer = IDOK);
    ~MessageBoxRecorder();
    const std::vector<Call>& calls() const { return calls_; }
    // Runs in place of each message box, after it is recorded.
    std::function<void(const Call&)> onShow;

private:
    std::vector<Call> calls_;
    int answer_;
};

}  // namespace ts
