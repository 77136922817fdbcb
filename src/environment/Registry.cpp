#include "environment/Registry.h"

#include <cstring>
#include <vector>

#include "environment/Handles.h"
#include "environment/StrUtils.h"

namespace {

// Null for the default (unnamed) value or the key itself.
const char* NameOrNull(const std::string& name) { return name.empty() ? nullptr : name.c_str(); }

// The bytes of Buf up to its first zero byte, never beyond Size.
std::string TextOf(const char* buf, size_t size) { return std::string(buf, strnlen(buf, size)); }

// Value of an open key as stored; false when it cannot be read. The value may grow between
// asking its size and reading it: asked again a few times.
bool QueryStored(HKEY k, const std::string& valueName, RegStoredValue& v) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LONG rc = RegQueryValueExA(k, NameOrNull(valueName), nullptr, &v.type, nullptr, &size);
        if (rc == ERROR_FILE_NOT_FOUND) {
            v.state = RegStoredValue::Absent;
            return true;
        }
        if (rc != ERROR_SUCCESS) return false;
        v.bytes.assign(size, '\0');
        rc = RegQueryValueExA(k, NameOrNull(valueName), nullptr, &v.type, reinterpret_cast<BYTE*>(v.bytes.data()),
                              &size);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) return false;
        v.bytes.resize(size);
        v.state = RegStoredValue::Present;
        return true;
    }
    return false;
}

}  // namespace

std::string RegReadDefault(HKEY root, const std::string& key, const std::string& subKey) {
    try {
        HKEY opened = nullptr;
        if (RegOpenKeyA(root, key.c_str(), &opened) != ERROR_SUCCESS) return std::string();
        // An empty Key hands back the root itself, which is not ours to close.
        const UniqueHKey owned(opened != root ? opened : nullptr);
        char buf[512] = {};
        LONG size = sizeof buf;
        if (RegQueryValueA(opened, NameOrNull(subKey), buf, &size) != ERROR_SUCCESS) return std::string();
        return TextOf(buf, size > 0 && static_cast<size_t>(size) < sizeof buf ? size : sizeof buf);
    } catch (...) {
        return std::string();
    }
}

std::string RegQueryString(HKEY root, const std::string& key, const std::string& valueName, REGSAM view) {
    try {
        UniqueHKey k;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE | view, k.put()) != ERROR_SUCCESS) return std::string();
        char buf[511] = {};
        DWORD size = sizeof buf;
        if (RegQueryValueExA(k.get(), NameOrNull(valueName), nullptr, nullptr, reinterpret_cast<BYTE*>(buf),
                             &size) != ERROR_SUCCESS)
            return std::string();
        return TextOf(buf, size < sizeof buf ? size : sizeof buf);
    } catch (...) {
        return std::string();
    }
}

std::string RegReadString(HKEY root, const std::string& key, const std::string& valueName, REGSAM view) {
    try {
        UniqueHKey k;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS | view, k.put()) != ERROR_SUCCESS) return std::string();
        RegStoredValue v;
        if (!QueryStored(k.get(), valueName, v) || v.state != RegStoredValue::Present) return std::string();
        if (v.type != REG_SZ && v.type != REG_EXPAND_SZ) return std::string();
        return TextOf(v.bytes.data(), v.bytes.size());
    } catch (...) {
        return std::string();
    }
}

RegStoredValue RegReadStored(HKEY root, const std::string& key, const std::string& valueName) {
    try {
        UniqueHKey k;
        RegStoredValue v;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, k.put()) == ERROR_SUCCESS &&
            QueryStored(k.get(), valueName, v))
            return v;
    } catch (...) {
    }
    return RegStoredValue();
}

void RegRestoreStored(HKEY root, const std::string& key, const std::string& valueName, const RegStoredValue& value) {
    if (value.state == RegStoredValue::Unknown) return;
    UniqueHKey k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, k.put()) != ERROR_SUCCESS) return;
    if (value.state == RegStoredValue::Absent)
        RegDeleteValueA(k.get(), NameOrNull(valueName));
    else
        RegSetValueExA(k.get(), NameOrNull(valueName), 0, value.type,
                       reinterpret_cast<const BYTE*>(value.bytes.data()), static_cast<DWORD>(value.bytes.size()));
}

std::vector<std::string> RegMissingKeys(HKEY root, const std::string& key) {
    std::vector<std::string> missing;
    try {
        for (std::string path = key; !path.empty();) {
            UniqueHKey k;
            if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, k.put()) != ERROR_FILE_NOT_FOUND) break;
            missing.push_back(path);
            const size_t cut = LastDelimiter(path, "\\");
            path = cut == 0 ? std::string() : path.substr(0, cut - 1);
        }
    } catch (...) {
        missing.clear();  // unsure what exists: delete nothing
    }
    return missing;
}

void RegDeleteEmptyKeys(HKEY root, const std::vector<std::string>& keys) {
    for (const std::string& key : keys) {
        // The Windows 9x family deletes a key with everything below it: never one that holds more.
        DWORD subKeys = 1;
        {
            UniqueHKey k;
            if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, k.put()) != ERROR_SUCCESS ||
                RegQueryInfoKeyA(k.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                return;
        }
        if (subKeys != 0 || RegDeleteKeyA(root, key.c_str()) != ERROR_SUCCESS) return;
    }
}

bool RegWriteString(HKEY root, const std::string& key, const std::string& valueName, const std::string& value) {
    try {
        UniqueHKey k;
        if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, k.put(),
                            nullptr) != ERROR_SUCCESS)
            return false;
        return RegSetValueExA(k.get(), NameOrNull(valueName), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
}
