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

unsigned failingSaveSteps = 0;

// A step of the save, unless a test makes it fail.
bool Allowed(ProfileSaveStep step) { return !(failingSaveSteps & step); }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string SetAsideName(const std::string& path) { return path + ".bak~"; }

// A save cut off between its renames (the machine stopped, or the original could not be put
// back) left the file only under its set-aside name: it comes back before the file is read. One
// beside the file is stale, since the file's name only ever takes a whole file.
void RecoverSetAside(const std::string& path) {
    const std::string aside = SetAsideName(path);
    if (!Exists(aside)) return;
    if (Exists(path))
        DeleteFileA(aside.c_str());
    else
        MoveFileA(aside.c_str(), path.c_str());
}

bool WriteNewFile(const std::string& path, const std::string& bytes) {
    UniqueHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The new text is written beside the file and takes its name by renaming, which never cuts a
// file short as a copy over it can on a full disk. The original is set aside first and comes
// back on any failure. MoveFileA renames within one folder on every 9x; MoveFileExA is only a
// failing stub there.
bool SaveWholeFile(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".tmp~", aside = SetAsideName(path);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    // A rename would pass over the read-only attribute that a write must respect.
    if (existed && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    if (!WriteNewFile(temp, bytes) ||
        (existed && !(Allowed(kSetOriginalAside) && MoveFileA(path.c_str(), aside.c_str())))) {
        DeleteFileA(temp.c_str());
        return false;
    }
    if (!(Allowed(kPutNewInPlace) && MoveFileA(temp.c_str(), path.c_str()))) {
        if (existed && Allowed(kPutOriginalBack)) MoveFileA(aside.c_str(), path.c_str());
        DeleteFileA(temp.c_str());
        return false;
    }
    // Saved. An original that cannot be deleted now is taken away by the next save.
    if (existed && Allowed(kDeleteSetAside)) DeleteFileA(aside.c_str());
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

    const std::string path = ResolveProfilePath(fileName);
    RecoverSetAside(path);
    std::string bytes;
    switch (LoadWholeFile(path, bytes)) {
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
    RecoverSetAside(path);
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

void SetFailingProfileSaveSteps(unsigned steps) { failingSaveSteps = steps; }
