// Registry string routines. Every failure reads as the empty text.
#pragma once
#include <windows.h>
#include <string>

// RegOpenKeyA + RegQueryValueA (512-byte buffer): default value of Key\SubKey (of Key when SubKey is empty).
std::string RegReadDefault(HKEY root, const std::string& key, const std::string& subKey);
// KEY_QUERY_VALUE, 511-byte buffer, text up to the first zero byte. View: 0, or a KEY_WOW64_* flag
// where the system has registry views.
std::string RegQueryString(HKEY root, const std::string& key, const std::string& valueName, REGSAM view = 0);
// KEY_ALL_ACCESS, never creates; REG_SZ or REG_EXPAND_SZ (not expanded) only.
std::string RegReadString(HKEY root, const std::string& key, const std::string& valueName, REGSAM view = 0);
// KEY_ALL_ACCESS, creates the missing keys, writes REG_SZ; true when written.
bool RegWriteString(HKEY root, const std::string& key, const std::string& valueName, const std::string& value);
