#include "environment/OsVersion.h"

#include <windows.h>

#include "environment/Handles.h"
#include "environment/StrUtils.h"

OsVersionRecord QueryOsVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);  // 148 bytes
    static_assert(sizeof(OSVERSIONINFOA) == 148);
    OsVersionRecord r;
    if (!GetVersionExA(&info)) return r;
    r.ok = true;
    r.major = info.dwMajorVersion;
    r.minor = info.dwMinorVersion;
    r.platformId = info.dwPlatformId;
    return r;
}

std::string OsFamilyOf(const OsVersionRecord& r) {
    if (!r.ok) return "";
    if (r.platformId == VER_PLATFORM_WIN32_WINDOWS) return "WIN95_98";
    if (r.platformId == VER_PLATFORM_WIN32_NT) return "WINNT";
    return "Other";
}

double OsVersionOf(const OsVersionRecord& r, std::string& platformName) {
    if (!r.ok) {
        // The record's fields are not set when the query fails: report version 0.
        platformName.clear();
        return 0;
    }
    platformName = r.platformId == VER_PLATFORM_WIN32_NT ? "WinNT" : "Win32";
    return VersionToFloat(std::to_string(r.major) + "." + std::to_string(r.minor));
}

std::string OsNameOf(const OsVersionRecord& r) {
    std::string platform;
    const double v = OsVersionOf(r, platform);
    if (platform == "Win32") {
        if (v == 4) return "Win95";
        if (v == 4.1) return "Win98";
        if (v == 4.9) return "WinME";
        return "Other";
    }
    if (v == 4) return "NT4.0";
    if (v == 5) return "Win2000";
    if (v == 5.1) return "WinXP";
    if (v == 5.2) return "Win2003";
    if (v == 6) return "Vista";
    return "Other";
}

bool HasUserClassesOf(const OsVersionRecord& r) {
    // NT 4.0 merges no user's classes into the classes root: Explorer would never see them. A failed
    // query is taken for the NT family, as the platform kind takes it.
    return r.platformId == VER_PLATFORM_WIN32_NT ? r.major >= 5 : !r.ok;
}

std::string GetOsFamily() { return OsFamilyOf(QueryOsVersion()); }

double GetOsVersion(std::string& platformName) { return OsVersionOf(QueryOsVersion(), platformName); }

std::string GetOsPlatformName() {
    std::string name;
    GetOsVersion(name);
    return name;
}

int GetOsPlatformKind() { return SameTextAscii(GetOsPlatformName(), "Win32") ? 1 : 2; }

std::string GetOsName() { return OsNameOf(QueryOsVersion()); }

bool HasUserClasses() { return HasUserClassesOf(QueryOsVersion()); }

static_assert(kRegistryView64 == KEY_WOW64_64KEY && kRegistryView32 == KEY_WOW64_32KEY);

Wow64Answer QueryWow64() {
    // Bound at run time: Windows before XP SP2 has no such function, and no views either.
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
    const auto isWow64 = LookupProc<IsWow64ProcessFn>(GetModuleHandleA("KERNEL32.DLL"), "IsWow64Process");
    if (!isWow64) return Wow64Answer::Unavailable;
    BOOL wow64 = FALSE;
    if (!isWow64(GetCurrentProcess(), &wow64)) return Wow64Answer::Failed;
    return wow64 ? Wow64Answer::Yes : Wow64Answer::No;
}

std::vector<unsigned long> SoftwareRegistryViews() { return SoftwareViewsFor(sizeof(void*) == 8, QueryWow64()); }
