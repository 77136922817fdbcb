// What the Windows loader needs from a program before it runs: the headers and the
// imported functions, read from the file's bytes (no operating system involved).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pe {

struct Import {
    std::string dll;
    std::string name;       // empty when imported by ordinal
    uint16_t ordinal = 0;   // the ordinal, or the name's hint
    bool byOrdinal = false;
    bool delayed = false;   // through the delay-load directory
};

struct Image {
    uint16_t machine = 0;     // 0x14C: i386
    uint16_t magic = 0;       // 0x10B: PE32, 0x20B: PE32+
    uint16_t subsystem = 0;   // 2: Windows GUI
    uint16_t osMajor = 0, osMinor = 0, subsystemMajor = 0, subsystemMinor = 0;
    std::vector<Import> imports;
    // The manifest the loader reads for a program (resource type 24, ID 1, its first language);
    // empty when there is none.
    std::string manifest;
};

// Reads a PE image; false with the reason in Error when the bytes are not one
// (a damaged table, an address outside the file, a name that never ends, a resource
// tree that leads outside the file).
bool ReadImage(const uint8_t* data, size_t size, Image& image, std::string& error);

}  // namespace pe
