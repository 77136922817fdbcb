// Running the Excel stand-in (fixtures\ExcelStandIn.exe) and the probe program from tests.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace ts {

// The class the stand-in registers in the running-object table unless told otherwise.
inline constexpr const char* kStandInClsid = "{6B1D3A52-9C4E-4F7A-8E21-5D0C7B9A1F34}";

// Points ProgIDs at a class in HKEY_CLASSES_ROOT ("PROGID\CLSID" default value) and
// puts the keys back as they were at the end. With no ProgIDs listed, the two that
// Excel's editions are asked under most: "Excel.Application" and "Excel.Application.8".
class ScopedExcelProgIds {
public:
    explicit ScopedExcelProgIds(std::vector<std::string> progIds = {"Excel.Application", "Excel.Application.8"},
                                const std::string& clsid = kStandInClsid);
    ~ScopedExcelProgIds();
    ScopedExcelProgIds(const ScopedExcelProgIds&) = delete;
    ScopedExcelProgIds& operator=(const ScopedExcelProgIds&) = delete;

private:
    std::vector<std::unique_ptr<ScopedRegKey>> keys_;
};

// Removes a ProgID for the scope (for tests that need it absent).
class ScopedNoProgId {
public:
    explicit ScopedNoProgId(const std::string& progId);

private:
    ScopedRegKey key_;
};

struct StandInBook {
    std::string name;  // ANSI code page
    bool saved;
};

// One stand-in process; killed at the end of the scope if it still runs.
class ExcelStandIn {
public:
    struct Options {
        std::vector<StandInBook> books;
        DWORD lifetimeMs = 60000;
        bool window = true;
        std::string clsid = kStandInClsid;
        std::string title;  // empty: the stand-in's default
        DWORD lingerMs = 0;  // how long it still answers after Quit, as an Excel that is slow to close
        bool hang = false;   // Quit never returns, as in an Excel held by a modal dialog
    };
    ExcelStandIn() = default;
    ~ExcelStandIn();
    ExcelStandIn(const ExcelStandIn&) = delete;
    ExcelStandIn& operator=(const ExcelStandIn&) = delete;

    // Starts it and waits until its object is in the running-object table; false when
    // it did not get there within TimeoutMs.
    bool StartWith(const Options& options, DWORD timeoutMs = 20000);
    // The same with these workbooks open and everything else as by default.
    bool Start(const std::vector<StandInBook>& books);
    // Exit code once it has ended, -1 if it still runs after TimeoutMs (it is then killed).
    int WaitForExit(DWORD timeoutMs);
    bool Running() const { return process_.Running(); }
    DWORD Pid() const { return process_.Pid(); }
    void Kill() { process_.Kill(); }

    // The log as written so far, split into lines.
    std::vector<std::string> LogLines() const;
    // The lines that record calls ("names ..." and "call ..."), in order.
    std::vector<std::string> CallLines() const;
    const std::string& LogPath() const { return logPath_; }

private:
    TempDir dir_;
    std::string logPath_;
    Child process_;
};

// The lines of a text file (CR LF or LF), without their ends; empty when missing.
std::vector<std::string> ReadLines(const std::string& path);
// Waits until some line of the file starts with Prefix; false after TimeoutMs.
bool WaitForLine(const std::string& path, const std::string& prefix, DWORD timeoutMs);
// Lines of the file that start with Prefix.
std::vector<std::string> LinesStartingWith(const std::string& path, const std::string& prefix);

}  // namespace ts
