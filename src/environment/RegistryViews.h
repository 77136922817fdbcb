// Which views of HKEY_LOCAL_MACHINE\SOFTWARE hold what programs of either bitness wrote there.
#pragma once
#include <vector>

// What IsWow64Process said of this process: missing before XP SP2, or failed, or its answer.
enum class Wow64Answer { Unavailable, Failed, No, Yes };

// KEY_WOW64_64KEY and KEY_WOW64_32KEY: Windows 2000 and older reject them.
inline constexpr unsigned long kRegistryView64 = 0x0100;
inline constexpr unsigned long kRegistryView32 = 0x0200;

// The flags to open keys with, the process's own view (0) first; only 0 where the system has no views.
std::vector<unsigned long> SoftwareViewsFor(bool process64, Wow64Answer wow64);
