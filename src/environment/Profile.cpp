#include "environment/Profile.h"

#include <vector>

#include "environment/Handles.h"
#include "environment/IniFile.h"
#include "environment/OsVersion.h"
#include "environment/StrUtils.h"

namespace {

enum class Load { Ok, Missing, Failed };

// A settings file is a few hundred bytes; anything this large is not one.
constexpr DWORD kMaxProfileBytes = 16u * 1024 * 1024;

Load LoadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD err = GetLastError();
        return (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) ? Load::Missing : Load::Failed;
    }
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE || size > kMaxProfileBytes) return Load::Failed;
    bytes.resize(size);
    DWORD read = 0;
    if (size > 0 && (!ReadFile(file.get(), bytes.data(), size, &read, nullptr) || read != size)) return Load::Failed;
    return Load::Ok;
}

// Writes beside the file and then replaces it, so a failed write never leaves
// a truncated settings file behind.
bool SaveWholeFile(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".tmp~";
    {
        UniqueHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size()) {
            file.reset();
            DeleteFileA(temp.c_str());
            return false;
        }
    }
    if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    // The Windows 9x family has no MoveFileEx. A copy that fails may have cut the original short
    // (a full disk): the new text then stays beside it.
    if (!CopyFileA(temp.c_str(), path.c_str(), FALSE)) return false;
    DeleteFileA(temp.c_str());
    return true;
}

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

}  // namespace

std::string GetWindowsFolder() {
    char buf[511];
    const UINT n = GetWindowsDirectoryA(buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return std::string();
    return std::string(buf, n);
}

std::string ResolveProfilePath(const std::string& fileName) {
    if (fileName.find('\\') != std::string::npos) return fileName;
    return AddTrailingBackslash(GetWindowsFolder()) + fileName;
}

bool ReadProfileString(const std::string& section, const std::string& key, std::string& value,
                       const std::string& fileName, int maxLength) {
    const int size = maxLength > 0 ? maxLength : 1;
    std::vector<char> buf(size, '\0');
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buf.data(), size, fileName.c_str());
    if (n > 0) {
        value.assign(buf.data(), n < static_cast<DWORD>(size) ? n : size - 1);
        return true;
    }
    value.clear();
    if (GetOsFamily() != "WIN95_98") return false;

    std::string bytes;
    switch (LoadWholeFile(ResolveProfilePath(fileName), bytes)) {
        case Load::Failed: return false;
        case Load::Missing: return true;  // an absent file is an empty profile
        case Load::Ok: break;
    }
    std::string found;
    if (IniFile::Parse(bytes).Get(section, key, found)) value = found;
    return true;
}

bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& fileName) {
    if (GetOsFamily() != "WIN95_98")
        return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), fileName.c_str()) != 0;

    const std::string path = ResolveProfilePath(fileName);
    std::string bytes;
    if (LoadWholeFile(path, bytes) == Load::Failed) return false;
    IniFile ini = IniFile::Parse(bytes);
    ini.Set(section, key, value);
    return SaveWholeFile(path, ini.Serialize());
}

int ShowMessageBox(HWND owner, const std::string& text, UINT flags, const std::string& caption) {
    if ((flags & 0x0F) > 5 || (flags & 0x70) > 0x40) flags = 0;
    if (Hook()) return Hook()(owner, text, flags, caption);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }
