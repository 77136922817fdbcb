// The program-file reader of the import and manifest checks, on damaged and hostile files.
#include "FuzzInput.h"
#include "floor/PeImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pe::Image image;
    std::string error;
    const bool ok = pe::ReadImage(data, size, image, error);
    FUZZ_CHECK(ok == error.empty());
    if (!ok) return 0;
    FUZZ_CHECK(image.imports.size() <= 65536);
    FUZZ_CHECK(image.manifest.size() <= size);
    for (const pe::Import& i : image.imports) {
        FUZZ_CHECK(i.name.size() <= 4096 && i.dll.size() <= 4096);
        FUZZ_CHECK(!i.byOrdinal || i.name.empty());
    }
    // A second reading into a used record gives the same.
    pe::Image again = image;
    again.imports.emplace_back();
    FUZZ_CHECK(pe::ReadImage(data, size, again, error) && again.imports.size() == image.imports.size());
    return 0;
}
