#include "support/Installation.h"

#include "environment/OsVersion.h"
#include "environment/Profile.h"
#include "excel/ExcelFacts.h"

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
    for (const char* key : {"SOFTWARE\\Microsoft\\Office"})
        keys_.push_back(std::make_unique<ScopedRegKey>(HKEY_LOCAL_MACHINE, key));
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

Installation::~Installation() = default;

std::string Installation::AddOffice(int version, bool createXlStart) {
    const std::string root = dir_ / ("Office" + std::to_string(version) + "\\");
    CreateDirectoryA(root.c_str(), nullptr);
    if (createXlStart) CreateDirectoryA((root + excel::kOfficeXlStart).c_str(), nullptr);
    RegSet(HKEY_LOCAL_MACHINE, excel::InstallRootKey(version), excel::kInstallRootValue, root);
    return root + excel::kOfficeXlStart;
}

std::string Installation::DdeCommand(const std::string& sheetClass) {
    std::string v;
    const std::string key = std::string(sheetClass) + "\\" + excel::kDdeExecSubKey;
    if (GetOsPlatformKind() == 1)
        RegGet(HKEY_CLASSES_ROOT, key, "", v);
    else
        RegGet(HKEY_CURRENT_USER, "Software\\Classes\\" + key, "", v);
    return v;
}

}  // namespace ts
