#include "environment/Registry.h"

#include <cstring>
#include <vector>

#include "environment/Handles.h"

namespace {

// Null for the default (unnamed) value or the key itself.
const char* NameOrNull(const std::string& name) { return name.empty() ? nullptr : name.c_str(); }

// The bytes of Buf up to its first zero byte, never beyond Size.
std::string TextOf(const char* buf, size_t size) { return std::string(buf, strnlen(buf, size)); }

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
        // The value may grow between asking its size and reading it: ask again a few times.
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD type = 0, size = 0;
            if (RegQueryValueExA(k.get(), NameOrNull(valueName), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
                return std::string();
            if (type != REG_SZ && type != REG_EXPAND_SZ) return std::string();
            std::vector<char> buf(size + 1, '\0');
            const LONG rc = RegQueryValueExA(k.get(), NameOrNull(valueName), nullptr, &type,
                                             reinterpret_cast<BYTE*>(buf.data()), &size);
            if (rc == ERROR_MORE_DATA) continue;
            if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
            return TextOf(buf.data(), size < buf.size() ? size : buf.size());
        }
        return std::string();
    } catch (...) {
        return std::string();
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
