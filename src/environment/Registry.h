// Registry string routines. Every failure reads as the empty text.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// RegOpenKeyA + RegQueryValueA (512-byte buffer): default value of Key\SubKey (of Key when SubKey is empty).
std::string RegReadDefault(HKEY root, const std::string& key, const std::string& subKey);
// KEY_QUERY_VALUE, 511-byte buffer, text up to the first zero byte. View: 0, or a KEY_WOW64_* flag
// where the system has registry views.
std::string RegQueryString(HKEY root, const std::string& key, const std::string& valueName, REGSAM view = 0);
// KEY_ALL_ACCESS, never creates; REG_SZ or REG_EXPAND_SZ (not expanded) only.
std::string RegReadString(HKEY root, const std::string& key, const std::string& valueName, REGSAM view = 0);
// KEY_ALL_ACCESS, creates the missing keys, writes REG_SZ; true when written.
bool RegWriteString(HKEY root, const std::string& key, const std::string& valueName, const std::string& value);

// The keys on Key's path, Key itself first, that do not exist: those a write to Key creates.
// A key that cannot be opened for another reason counts as existing.
std::vector<std::string> RegMissingKeys(HKEY root, const std::string& key);
// Deletes Keys in their order, each only while it has no subkeys; stops at the first that stays.
void RegDeleteEmptyKeys(HKEY root, const std::vector<std::string>& keys);

// A value as stored, to be put back exactly: its type and bytes, or that there was none.
struct RegStoredValue {
    enum State { Unknown, Absent, Present } state = Unknown;
    DWORD type = 0;
    std::string bytes;
};
RegStoredValue RegReadStored(HKEY root, const std::string& key, const std::string& valueName);
// Writes the value back as it was stored, or deletes it when there was none; Unknown does nothing.
void RegRestoreStored(HKEY root, const std::string& key, const std::string& valueName, const RegStoredValue& value);
