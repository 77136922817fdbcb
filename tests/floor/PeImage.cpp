#include "floor/PeImage.h"

#include <algorithm>

namespace pe {
namespace {

// Far beyond any real program; keeps a hostile file from making the reader's work unbounded.
constexpr size_t kMaxImports = 65536;
constexpr size_t kMaxName = 4096;

struct Section {
    uint32_t va = 0, virtualSize = 0, rawOffset = 0, rawSize = 0;
};

class Parser {
public:
    Parser(const uint8_t* data, size_t size, std::string& error) : d_(data), n_(size), error_(error) {}

    bool Read(Image& image) {
        uint16_t mz = 0;
        uint32_t peOffset = 0, signature = 0;
        if (!U16(0, mz) || mz != 0x5A4D) return Fail("no MZ header");
        if (!U32(0x3C, peOffset) || !U32(peOffset, signature) || signature != 0x00004550)
            return Fail("no PE signature");
        const size_t coff = size_t{peOffset} + 4;
        uint16_t sectionCount = 0, optionalSize = 0;
        if (!U16(coff, image.machine) || !U16(coff + 2, sectionCount) || !U16(coff + 16, optionalSize))
            return Fail("damaged file header");
        const size_t opt = coff + 20;
        if (optionalSize < 2 || !U16(opt, image.magic)) return Fail("no optional header");
        if (image.magic != 0x10B && image.magic != 0x20B) return Fail("unknown optional header");
        wide_ = image.magic == 0x20B;
        const size_t directories = wide_ ? 112 : 96;
        uint32_t headersSize = 0, directoryCount = 0;
        if (optionalSize < directories || !U16(opt + 40, image.osMajor) || !U16(opt + 42, image.osMinor) ||
            !U16(opt + 48, image.subsystemMajor) || !U16(opt + 50, image.subsystemMinor) ||
            !U32(opt + 60, headersSize) || !U16(opt + 68, image.subsystem) ||
            !U32(opt + directories - 4, directoryCount))
            return Fail("damaged optional header");
        if (wide_) {
            if (!U64(opt + 24, imageBase_)) return Fail("damaged optional header");
        } else {
            uint32_t base = 0;
            if (!U32(opt + 28, base)) return Fail("damaged optional header");
            imageBase_ = base;
        }
        headersSize_ = headersSize;
        directoryCount = std::min<uint32_t>(directoryCount, (optionalSize - directories) / 8);

        const size_t table = opt + optionalSize;
        for (uint16_t i = 0; i < sectionCount; ++i) {
            Section s;
            const size_t at = table + size_t{i} * 40;
            if (!U32(at + 8, s.virtualSize) || !U32(at + 12, s.va) || !U32(at + 16, s.rawSize) ||
                !U32(at + 20, s.rawOffset))
                return Fail("damaged section table");
            sections_.push_back(s);
        }

        uint32_t importRva = 0, resourceRva = 0, delayRva = 0;
        if (directoryCount > 1 && !U32(opt + directories + 8, importRva)) return Fail("damaged directory");
        if (directoryCount > 2 && !U32(opt + directories + 2 * 8, resourceRva)) return Fail("damaged directory");
        if (directoryCount > 13 && !U32(opt + directories + 13 * 8, delayRva)) return Fail("damaged directory");
        if (importRva && !Imports(importRva, image.imports)) return false;
        if (delayRva && !DelayImports(delayRva, image.imports)) return false;
        if (resourceRva && !Manifest(resourceRva, image.manifest)) return false;
        return true;
    }

private:
    bool Fail(const char* why) {
        error_ = why;
        return false;
    }

    bool U16(size_t at, uint16_t& v) const {
        if (at > n_ || n_ - at < 2) return false;
        v = static_cast<uint16_t>(d_[at] | d_[at + 1] << 8);
        return true;
    }
    bool U32(size_t at, uint32_t& v) const {
        if (at > n_ || n_ - at < 4) return false;
        v = uint32_t{d_[at]} | uint32_t{d_[at + 1]} << 8 | uint32_t{d_[at + 2]} << 16 | uint32_t{d_[at + 3]} << 24;
        return true;
    }
    bool U64(size_t at, uint64_t& v) const {
        uint32_t lo = 0, hi = 0;
        if (!U32(at, lo) || !U32(at + 4, hi)) return false;
        v = uint64_t{hi} << 32 | lo;
        return true;
    }

    // Where the byte at a relative virtual address lies in the file.
    bool Offset(uint64_t rva, size_t& at) const {
        for (const Section& s : sections_) {
            const uint64_t span = std::max(s.virtualSize, s.rawSize);
            if (rva < s.va || rva - s.va >= span) continue;
            const uint64_t delta = rva - s.va;
            if (delta >= s.rawSize) return false;  // zero-filled, not in the file
            at = static_cast<size_t>(uint64_t{s.rawOffset} + delta);
            return at < n_;
        }
        if (rva < headersSize_ && rva < n_) {
            at = static_cast<size_t>(rva);
            return true;
        }
        return false;
    }

    bool Text(uint64_t rva, std::string& s) {
        size_t at = 0;
        if (!Offset(rva, at)) return Fail("a name outside the file");
        s.clear();
        for (; at < n_ && d_[at]; ++at) {
            if (s.size() == kMaxName) return Fail("a name that never ends");
            s += static_cast<char>(d_[at]);
        }
        if (at == n_) return Fail("a name that never ends");
        return true;
    }

    // One DLL's functions from its name table (an array of thunks ending with zero); a name
    // is found at its thunk's value less NameBase.
    bool Functions(uint64_t table, const std::string& dll, bool delayed, uint64_t nameBase,
                   std::vector<Import>& out) {
        const uint64_t width = wide_ ? 8 : 4;
        const uint64_t ordinalFlag = wide_ ? uint64_t{1} << 63 : uint64_t{1} << 31;
        for (uint64_t i = 0;; ++i) {
            size_t at = 0;
            uint64_t thunk = 0;
            if (!Offset(table + i * width, at)) return Fail("an import table outside the file");
            if (wide_) {
                if (!U64(at, thunk)) return Fail("an import table outside the file");
            } else {
                uint32_t t = 0;
                if (!U32(at, t)) return Fail("an import table outside the file");
                thunk = t;
            }
            if (!thunk) return true;
            if (out.size() >= kMaxImports) return Fail("too many imports");
            Import imp;
            imp.dll = dll;
            imp.delayed = delayed;
            if (thunk & ordinalFlag) {
                imp.byOrdinal = true;
                imp.ordinal = static_cast<uint16_t>(thunk);
            } else {
                size_t hintAt = 0;
                if (thunk < nameBase) return Fail("a delay-load address below the image");
                const uint64_t hintRva = (thunk - nameBase) & 0x7FFFFFFF;
                if (!Offset(hintRva, hintAt) || !U16(hintAt, imp.ordinal)) return Fail("a name outside the file");
                if (!Text(hintRva + 2, imp.name)) return false;
            }
            out.push_back(std::move(imp));
        }
    }

    bool Imports(uint64_t rva, std::vector<Import>& out) {
        for (uint64_t d = rva;; d += 20) {
            size_t at = 0;
            uint32_t lookup = 0, name = 0, iat = 0;
            if (!Offset(d, at) || !U32(at, lookup) || !U32(at + 12, name) || !U32(at + 16, iat))
                return Fail("an import directory outside the file");
            if (!name || !iat) return true;  // where the loader stops too
            std::string dll;
            if (!Text(name, dll) || !Functions(lookup ? lookup : iat, dll, false, 0, out)) return false;
        }
    }

    // Old linkers wrote addresses rather than relative ones (attribute bit 0 clear), in the
    // descriptor and in its name table alike.
    bool Relative(uint32_t attributes, uint32_t value, uint64_t& rva) const {
        if (attributes & 1) {
            rva = value;
            return true;
        }
        if (value < imageBase_) return false;
        rva = value - imageBase_;
        return true;
    }

    bool DelayImports(uint64_t rva, std::vector<Import>& out) {
        for (uint64_t d = rva;; d += 32) {
            size_t at = 0;
            uint32_t attributes = 0, name = 0, nameTable = 0;
            if (!Offset(d, at) || !U32(at, attributes) || !U32(at + 4, name) || !U32(at + 16, nameTable))
                return Fail("a delay-load directory outside the file");
            if (!name) return true;
            uint64_t nameRva = 0, tableRva = 0;
            if (!Relative(attributes, name, nameRva) || !Relative(attributes, nameTable, tableRva))
                return Fail("a delay-load address below the image");
            std::string dll;
            const uint64_t nameBase = attributes & 1 ? 0 : imageBase_;
            if (!Text(nameRva, dll) || !Functions(tableRva, dll, true, nameBase, out)) return false;
        }
    }

    // In the resource directory at Offset from the tree's start, the entry named by the number Id
    // (the first entry when Id is 0): Found, and where it leads.
    bool ResourceEntry(uint64_t tree, uint32_t offset, uint32_t id, bool& found, uint32_t& target) {
        size_t at = 0;
        uint16_t named = 0, numbered = 0;
        if (!Offset(tree + offset, at) || !U16(at + 12, named) || !U16(at + 14, numbered))
            return Fail("a resource directory outside the file");
        found = false;
        for (uint32_t i = 0; i < uint32_t{named} + numbered; ++i) {
            size_t entry = 0;
            uint32_t name = 0;
            if (!Offset(tree + offset + 16 + uint64_t{i} * 8, entry) || !U32(entry, name) || !U32(entry + 4, target))
                return Fail("a resource directory outside the file");
            if (id == 0 || (!(name & 0x80000000) && name == id)) {
                found = true;
                return true;
            }
        }
        return true;
    }

    bool Manifest(uint64_t tree, std::string& out) {
        // Type, then name, then language: the first two lead to directories, the last to the data.
        uint32_t offset = 0;
        for (const uint32_t id : {kManifestType, kProgramManifest, 0u}) {
            bool found = false;
            uint32_t target = 0;
            if (!ResourceEntry(tree, offset, id, found, target)) return false;
            if (!found) return true;
            if (((target & 0x80000000) != 0) != (id != 0)) return Fail("a resource tree of another shape");
            offset = target & 0x7FFFFFFF;
        }
        size_t entry = 0, data = 0;
        uint32_t rva = 0, size = 0;
        if (!Offset(tree + offset, entry) || !U32(entry, rva) || !U32(entry + 4, size))
            return Fail("a resource entry outside the file");
        if (size && (!Offset(rva, data) || size > n_ - data)) return Fail("a manifest outside the file");
        out.assign(reinterpret_cast<const char*>(d_) + data, size);
        return true;
    }

    static constexpr uint32_t kManifestType = 24;    // RT_MANIFEST
    static constexpr uint32_t kProgramManifest = 1;  // CREATEPROCESS_MANIFEST_RESOURCE_ID

    const uint8_t* d_;
    size_t n_;
    std::string& error_;
    bool wide_ = false;
    uint64_t imageBase_ = 0;
    uint32_t headersSize_ = 0;
    std::vector<Section> sections_;
};

}  // namespace

bool ReadImage(const uint8_t* data, size_t size, Image& image, std::string& error) {
    image = Image{};
    error.clear();
    return Parser(data, size, error).Read(image);
}

}  // namespace pe
