#include "support/Installation.h"

#include <algorithm>

#include "environment/OsVersion.h"
#include "environment/Profile.h"
#include "environment/StrUtils.h"
#include "excel/ExcelFacts.h"
#include "excel/ExcelLocation.h"
#include "manager/Addin.h"

namespace ts {

bool WriteSettingsFile(const std::string& path, const std::string& text) {
    if (!WriteFileBytes(path, text)) return false;
    static ULONGLONG step = 0;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart += (++step) * 20000000ULL;  // two seconds apart, never equal to an earlier write
    const FILETIME ft{t.LowPart, t.HighPart};
    UniqueHandle f(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    return f && SetFileTime(f.get(), nullptr, nullptr, &ft);
}

std::string Installation::AddinBytes() { return std::string("ADDIN\0BYTES\x83\x5C", 14); }

std::string Installation::Installed() const { return XlStartFolder() + excel::kCommonAddin; }
std::string Installation::Parked() const { return ProductFolder() + excel::kCommonAddin; }

Installation::Installation(const Options& o) {
    settingsPath_ = GetWindowsFolder() + "\\" + o.settingsFile;
    settings_ = std::make_unique<ScopedFileBackup>(settingsPath_);
    keys_.push_back(std::make_unique<ScopedRegKey>(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Office"));
    otherSoftware_ = OpenOtherViewSoftware();
    if (otherSoftware_) keys_.push_back(std::make_unique<ScopedRegKey>(otherSoftware_.get(), "Microsoft\\Office"));
    for (const char* cls : {"Excel.Sheet.5", "Excel.Sheet.8", "Excel.Sheet.12", "Excel.CSV"}) {
        keys_.push_back(std::make_unique<ScopedRegKey>(HKEY_CURRENT_USER, std::string("Software\\Classes\\") + cls));
        keys_.push_back(std::make_unique<ScopedRegKey>(HKEY_CLASSES_ROOT, cls));
    }
    CreateDirectoryA(ProductFolder().c_str(), nullptr);
    CreateDirectoryA(ExcelFolder().c_str(), nullptr);
    if (o.createXlStart) CreateDirectoryA(XlStartFolder().c_str(), nullptr);
    if (o.xlStartIsAFile) WriteFileBytes(ExcelFolder() + "XLSTART", "not a folder");
    WriteFileBytes(Parked(), AddinBytes());
    WriteFileBytes(ProductFolder() + excel::kProductWorkbook, "TORVA.XLA BYTES");
    if (o.registered) WriteFileBytes(Installed(), AddinBytes());

    std::string text = "[Product]\r\nDisplay=Torva テスト版\r\n[NewEnv]\r\nExcelDir=" + ExcelFolder() + "\r\n";
    if (o.withProductDir) text += "[GenDir]\r\nDir=" + ProductFolder() + "\r\n";
    text += o.extraSettings;
    WriteSettingsFile(settingsPath_, text);
}

bool Installation::PutUsersTorvaXla(const std::string& bytes) {
    ForceFolders(userXlStart_.Path());
    return WriteFileBytes(UsersTorvaXla(), bytes);
}

void Installation::RefuseNewFiles(const std::string& folder) {
    refusing_.push_back(folder);
    SetRefusesNewFilesHook([this](const std::string& f) {
        return std::any_of(refusing_.begin(), refusing_.end(),
                           [&](const std::string& r) { return SameTextAscii(AddTrailingBackslash(r), AddTrailingBackslash(f)); });
    });
}

Installation::~Installation() {
    SetRefusesNewFilesHook(nullptr);
    links_.clear();
    for (const std::string& tree : virtualStoreTrees_) RemoveTree(tree);
}

std::string Installation::AddOffice(int version, bool createXlStart, bool otherView) {
    const std::string root = dir_ / ("Office" + std::to_string(version) + (otherView ? "x\\" : "\\"));
    CreateDirectoryA(root.c_str(), nullptr);
    if (createXlStart) CreateDirectoryA((root + excel::kOfficeXlStart).c_str(), nullptr);
    const std::string key = excel::InstallRootKey(version);
    if (otherView)
        RegSet(otherSoftware_.get(), key.substr(key.find('\\') + 1), excel::kInstallRootValue, root);
    else
        RegSet(HKEY_LOCAL_MACHINE, key, excel::kInstallRootValue, root);
    return root + excel::kOfficeXlStart;
}

std::string Installation::VirtualStoreCopy(const std::string& path) {
    char profile[MAX_PATH] = {};
    GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
    return std::string(profile) + "\\AppData\\Local\\VirtualStore\\" + path.substr(3);
}

void Installation::MakeVirtualStoreFolder(const std::string& folder) {
    // The topmost folder made here goes at the end, with everything below it.
    std::string top;
    for (std::string f = folder; GetFileAttributesA(f.c_str()) == INVALID_FILE_ATTRIBUTES;
         f = f.substr(0, f.find_last_of('\\')))
        top = f;
    if (top.empty()) return;
    virtualStoreTrees_.push_back(top);
    for (size_t p = top.size(); p != std::string::npos; p = folder.find('\\', p + 1))
        CreateDirectoryA(folder.substr(0, p).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
}

std::string Installation::PutVirtualStoreCopy(const std::string& path, const std::string& bytes) {
    const std::string copy = VirtualStoreCopy(path);
    MakeVirtualStoreFolder(copy.substr(0, copy.find_last_of('\\')));
    WriteFileBytes(copy, bytes);
    return copy;
}

std::string Installation::AddVirtualizedOffice(int version) {
    const std::string xlstart = AddOffice(version, /*createXlStart=*/false);
    const std::string folder = xlstart.substr(0, xlstart.size() - 1);
    const std::string aside = VirtualStoreCopy(folder);
    MakeVirtualStoreFolder(aside);
    links_.push_back(std::make_unique<ScopedSymlink>(folder, aside));
    return links_.back()->Made() ? xlstart : std::string();
}

std::string Installation::DdeCommand(const std::string& sheetClass) {
    std::string v;
    const std::string key = std::string(sheetClass) + "\\" + excel::kDdeExecSubKey;
    if (!HasUserClasses())
        RegGet(HKEY_CLASSES_ROOT, key, "", v);
    else
        RegGet(HKEY_CURRENT_USER, "Software\\Classes\\" + key, "", v);
    return v;
}

}  // namespace ts
