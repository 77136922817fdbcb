// The program-file reader of the import check, on small images made here: the shipped
// program has neither imports by ordinal nor delay-loaded DLLs, which must not slip through.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "floor/PeImage.h"

namespace {

constexpr uint32_t kBase = 0x400000, kSectionRva = 0x1000, kSectionFile = 0x200;

struct Bytes {
    std::vector<uint8_t> b = std::vector<uint8_t>(0x400);
    void U16(size_t at, uint32_t v) {
        b[at] = v & 0xFF;
        b[at + 1] = v >> 8 & 0xFF;
    }
    void U32(size_t at, uint32_t v) {
        U16(at, v & 0xFFFF);
        U16(at + 2, v >> 16);
    }
    void Text(size_t at, const std::string& s) { std::copy(s.begin(), s.end(), b.begin() + at); }
    // Where a relative address of the one section lies in the file.
    static size_t At(uint32_t rva) { return rva - kSectionRva + kSectionFile; }
    bool Read(pe::Image& image, std::string& error) const {
        return pe::ReadImage(b.data(), b.size(), image, error);
    }
};

// A 32-bit GUI program for Windows 4.0 importing KERNEL32.dll!GetTickCount by name and
// KERNEL32.dll ordinal 17, and delay-loading hhctrl.ocx!HtmlHelpA.
Bytes SmallProgram(bool delayByAddress = false) {
    Bytes p;
    p.Text(0, "MZ");
    p.U32(0x3C, 0x40);
    p.Text(0x40, std::string("PE\0\0", 4));
    p.U16(0x44, 0x14C);  // i386
    p.U16(0x46, 1);      // one section
    p.U16(0x54, 224);    // the optional header of PE32
    const size_t opt = 0x58;
    p.U16(opt, 0x10B);
    p.U32(opt + 28, kBase);
    p.U16(opt + 40, 4);  // OS version 4.0
    p.U16(opt + 48, 4);  // subsystem version 4.0
    p.U32(opt + 60, 0x200);
    p.U16(opt + 68, 2);  // Windows GUI
    p.U32(opt + 92, 16);
    p.U32(opt + 96 + 1 * 8, 0x1000);   // imports
    p.U32(opt + 96 + 13 * 8, 0x1040);  // delay-loaded imports
    const size_t section = opt + 224;
    p.U32(section + 8, 0x200);
    p.U32(section + 12, kSectionRva);
    p.U32(section + 16, 0x200);
    p.U32(section + 20, kSectionFile);

    p.U32(Bytes::At(0x1000), 0x1100);       // lookup table
    p.U32(Bytes::At(0x1000) + 12, 0x1180);  // DLL name
    p.U32(Bytes::At(0x1000) + 16, 0x1100);  // address table
    p.U32(Bytes::At(0x1100), 0x1140);
    p.U32(Bytes::At(0x1104), 0x80000011);
    p.U16(Bytes::At(0x1140), 5);
    p.Text(Bytes::At(0x1142), "GetTickCount");
    p.Text(Bytes::At(0x1180), "KERNEL32.dll");

    const uint32_t add = delayByAddress ? kBase : 0;
    p.U32(Bytes::At(0x1040), delayByAddress ? 0 : 1);
    p.U32(Bytes::At(0x1040) + 4, 0x11A0 + add);
    p.U32(Bytes::At(0x1040) + 12, 0x1120 + add);
    p.U32(Bytes::At(0x1040) + 16, 0x1120 + add);
    p.U32(Bytes::At(0x1120), 0x1160 + add);
    p.Text(Bytes::At(0x1162), "HtmlHelpA");
    p.Text(Bytes::At(0x11A0), "hhctrl.ocx");
    return p;
}

// The same program with a resource tree that holds Xml as its manifest (type 24, ID 1, Japanese).
Bytes WithManifest(Bytes p, const std::string& xml) {
    p.b.resize(0x600);
    const size_t opt = 0x58, section = opt + 224;
    p.U32(section + 8, 0x400);
    p.U32(section + 16, 0x400);
    p.U32(opt + 96 + 2 * 8, 0x1200);  // resources
    const size_t tree = Bytes::At(0x1200);
    const uint32_t subdirectory = 0x80000000;
    p.U16(tree + 14, 1);  // one numbered entry at each level
    p.U32(tree + 16, 24);
    p.U32(tree + 20, subdirectory | 0x18);
    p.U16(tree + 0x18 + 14, 1);
    p.U32(tree + 0x18 + 16, 1);
    p.U32(tree + 0x18 + 20, subdirectory | 0x30);
    p.U16(tree + 0x30 + 14, 1);
    p.U32(tree + 0x30 + 16, 0x411);
    p.U32(tree + 0x30 + 20, 0x48);
    p.U32(tree + 0x48, 0x1260);
    p.U32(tree + 0x48 + 4, static_cast<uint32_t>(xml.size()));
    p.Text(Bytes::At(0x1260), xml);
    return p;
}

std::string Describe(const pe::Import& i) {
    return i.dll + "!" + (i.byOrdinal ? "@" + std::to_string(i.ordinal) : i.name) + (i.delayed ? " delayed" : "");
}

TEST(PeImage, HeadersImportsByNameAndOrdinalAndDelayLoaded) {
    for (bool byAddress : {false, true}) {
        pe::Image image;
        std::string error;
        ASSERT_TRUE(SmallProgram(byAddress).Read(image, error)) << error;
        EXPECT_EQ(0x10B, image.magic);
        EXPECT_EQ(0x14C, image.machine);
        EXPECT_EQ(2, image.subsystem);
        EXPECT_EQ(4, image.osMajor);
        EXPECT_EQ(4, image.subsystemMajor);
        std::vector<std::string> seen;
        for (const pe::Import& i : image.imports) seen.push_back(Describe(i));
        EXPECT_EQ((std::vector<std::string>{"KERNEL32.dll!GetTickCount", "KERNEL32.dll!@17",
                                            "hhctrl.ocx!HtmlHelpA delayed"}),
                  seen)
            << "delay descriptor by address: " << byAddress;
    }
}

TEST(PeImage, TheManifestResource) {
    pe::Image image;
    std::string error;
    ASSERT_TRUE(SmallProgram().Read(image, error)) << error;
    EXPECT_EQ("", image.manifest);
    const std::string xml = "<assembly/>";
    ASSERT_TRUE(WithManifest(SmallProgram(), xml).Read(image, error)) << error;
    EXPECT_EQ(xml, image.manifest);
    EXPECT_EQ(3u, image.imports.size());

    // Only ID 1 is a program's manifest.
    Bytes other = WithManifest(SmallProgram(), xml);
    other.U32(Bytes::At(0x1200) + 0x18 + 16, 2);
    ASSERT_TRUE(other.Read(image, error)) << error;
    EXPECT_EQ("", image.manifest);

    Bytes beyond = WithManifest(SmallProgram(), xml);
    beyond.U32(Bytes::At(0x1200) + 0x48 + 4, 0x1000);  // more bytes than the file holds
    EXPECT_FALSE(beyond.Read(image, error));
    Bytes astray = WithManifest(SmallProgram(), xml);
    astray.U32(Bytes::At(0x1200) + 20, 0x80000000 | 0x7000);  // a subdirectory outside the file
    EXPECT_FALSE(astray.Read(image, error));
}

TEST(PeImage, DamagedTablesAreReportedNotRead) {
    pe::Image image;
    std::string error;
    Bytes outside = SmallProgram();
    outside.U32(Bytes::At(0x1100), 0x9000);  // a name beyond every section
    EXPECT_FALSE(outside.Read(image, error));
    EXPECT_NE("", error);

    Bytes endless = SmallProgram();
    std::fill(endless.b.begin() + Bytes::At(0x11A0), endless.b.end(), 'x');  // the DLL name runs off the end
    EXPECT_FALSE(endless.Read(image, error));

    Bytes cut = SmallProgram();
    cut.b.resize(0x300);  // the section's data is not all there
    EXPECT_FALSE(cut.Read(image, error));

    Bytes notAProgram = SmallProgram();
    notAProgram.b[0] = 'Z';
    EXPECT_FALSE(notAProgram.Read(image, error));
}

}  // namespace
