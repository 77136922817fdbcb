// manifest_check PROGRAM
//
// Fails (exit code 1) unless the program's manifest declares system dpi awareness as every Windows
// from Vista on reads it, without anything that keeps Windows XP from starting the program or that
// switches off file virtualization. Each problem is printed on a line of its own.
// Exit code 2: the file could not be read.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "floor/Manifest.h"
#include "floor/PeImage.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: manifest_check PROGRAM\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::printf("%s: cannot be read\n", argv[1]);
        return 2;
    }
    pe::Image image;
    std::string error;
    if (!pe::ReadImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image, error)) {
        std::printf("%s: not a readable program: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (image.manifest.empty()) {
        std::printf("%s: no manifest (resource type 24, ID 1)\n", argv[1]);
        return 1;
    }
    const auto problems = manifest::DpiAwareProblems(image.manifest);
    for (const std::string& p : problems) std::printf("%s\n", p.c_str());
    if (!problems.empty()) {
        std::printf("%s: %zu problem(s) in its manifest\n", argv[1], problems.size());
        return 1;
    }
    std::printf("%s: the manifest declares dpiAware true\n", argv[1]);
    return 0;
}
