// Which Windows this is, in the forms the rest of the program asks for.
// Nothing is cached: every call queries the platform anew.
#pragma once
#include <string>
#include <vector>

#include "environment/RegistryViews.h"

struct OsVersionRecord {
    bool ok = false;          // the query succeeded
    unsigned major = 0, minor = 0, platformId = 0;
};

OsVersionRecord QueryOsVersion();

// "WIN95_98", "WINNT", "Other", or empty when the query fails.
std::string GetOsFamily();
// Version number (major.minor read as a decimal); PlatformName "WinNT", "Win32" or empty.
double GetOsVersion(std::string& platformName);
std::string GetOsPlatformName();
// 1 for the Windows 9x line ("Win32"), 2 otherwise.
int GetOsPlatformKind();
// "Win95", "Win98", "WinME", "NT4.0", "Win2000", "WinXP", "Win2003", "Vista" or "Other".
std::string GetOsName();

// Whether the user has classes of his own (HKEY_CURRENT_USER\Software\Classes), which Windows
// shows through HKEY_CLASSES_ROOT: the NT family from Windows 2000 on.
bool HasUserClasses();

// Whether this process runs under WOW64, asked where the system can answer.
Wow64Answer QueryWow64();
// The registry views to read HKEY_LOCAL_MACHINE\SOFTWARE in, this process's own first.
std::vector<unsigned long> SoftwareRegistryViews();

// The same decisions on a given record (a failed query reports version 0).
std::string OsFamilyOf(const OsVersionRecord& r);
double OsVersionOf(const OsVersionRecord& r, std::string& platformName);
std::string OsNameOf(const OsVersionRecord& r);
bool HasUserClassesOf(const OsVersionRecord& r);
