// ExtractFolder and ExtractFileName: the parts of a path.
#include "FuzzInput.h"
#include "environment/StrUtils.h"
#include "excel/ExcelPaths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    std::string folder = "<unset>";
    FUZZ_CHECK(ExtractFolder(path, folder));
    // The folder is a prefix of the path, and never ends inside a double-byte character.
    FUZZ_CHECK(path.compare(0, folder.size(), folder) == 0);
    if (!folder.empty() && folder.size() < path.size())
        FUZZ_CHECK(!IsLeadByte(static_cast<unsigned char>(folder.back())) || IsTrailByteAt(folder, static_cast<int>(folder.size())));
    const std::string name = ExtractFileName(path);
    FUZZ_CHECK(name.size() <= path.size() && path.compare(path.size() - name.size(), name.size(), name) == 0);
    return 0;
}
