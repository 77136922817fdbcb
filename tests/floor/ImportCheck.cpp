// import_check ALLOWLIST PROGRAM
//
// Fails (exit code 1) unless the program loads on the oldest Windows it serves: a 32-bit
// GUI program for Windows 4.0 whose every imported function, delay-loaded ones included,
// is on the allowlist. Each offence is printed on a line of its own, as DLL!function.
// Exit code 2: a file could not be read.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "floor/PeImage.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// An import by ordinal is written DLL @ordinal, in the program and in the allowlist.
std::string FunctionOf(const pe::Import& i) {
    return i.byOrdinal ? "@" + std::to_string(i.ordinal) : i.name;
}

// DLL names compare without regard to case, as the loader compares them.
using Allowlist = std::map<std::string, std::set<std::string>>;

bool ReadAllowlist(const char* path, Allowlist& allowed) {
    std::ifstream in(path);
    if (!in) {
        std::printf("%s: cannot be read\n", path);
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const size_t hash = line.find('#');
        std::istringstream fields(line.substr(0, hash));
        std::string dll, function, extra;
        if (!(fields >> dll)) continue;
        if (!(fields >> function) || (fields >> extra)) {
            std::printf("%s:%d: expected \"DLL function  # reason\"\n", path, number);
            return false;
        }
        allowed[Lower(dll)].insert(function);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: import_check ALLOWLIST PROGRAM\n");
        return 2;
    }
    Allowlist allowed;
    if (!ReadAllowlist(argv[1], allowed)) return 2;
    std::ifstream in(argv[2], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::printf("%s: cannot be read\n", argv[2]);
        return 2;
    }
    pe::Image image;
    std::string error;
    if (!pe::ReadImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image, error)) {
        std::printf("%s: not a readable program: %s\n", argv[2], error.c_str());
        return 1;
    }

    int offences = 0;
    const auto offence = [&](const std::string& what) {
        std::printf("%s\n", what.c_str());
        ++offences;
    };
    if (image.magic != 0x10B) offence("not PE32 (a 32-bit program)");
    if (image.machine != 0x14C) offence("machine " + std::to_string(image.machine) + ", not i386");
    if (image.subsystem != 2) offence("subsystem " + std::to_string(image.subsystem) + ", not Windows GUI");
    if (image.osMajor != 4 || image.osMinor != 0)
        offence("OS version " + std::to_string(image.osMajor) + "." + std::to_string(image.osMinor) + ", not 4.0");
    if (image.subsystemMajor != 4 || image.subsystemMinor != 0)
        offence("subsystem version " + std::to_string(image.subsystemMajor) + "." +
                std::to_string(image.subsystemMinor) + ", not 4.0");

    std::set<std::string> dlls;
    for (const pe::Import& i : image.imports) {
        dlls.insert(Lower(i.dll));
        const auto dll = allowed.find(Lower(i.dll));
        const std::string where = i.dll + "!" + FunctionOf(i) + (i.delayed ? " (delay-loaded)" : "");
        if (dll == allowed.end())
            offence(where + ": the DLL is not on the allowlist");
        else if (!dll->second.count(FunctionOf(i)))
            offence(where + ": not on the allowlist");
    }
    if (offences) {
        std::printf("%s: %d problem(s); the allowlist holds only what Windows 95, 98, Me and NT 4.0 provide\n",
                    argv[2], offences);
        return 1;
    }
    std::printf("%s: %zu imports from %zu DLLs, all on the allowlist\n", argv[2], image.imports.size(),
                dlls.size());
    return 0;
}
