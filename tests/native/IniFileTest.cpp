#include <gtest/gtest.h>

#include "environment/IniFile.h"

namespace {
std::string Get(const IniFile& f, const std::string& s, const std::string& k) {
    std::string v = "<missing>";
    f.Get(s, k, v);
    return v;
}
}  // namespace

TEST(IniFile, ReadsSectionsAndKeysWithoutRegardToCase) {
    const IniFile f = IniFile::Parse(
        "; comment\r\n[GenDir]\r\nDir=C:\\Torva\r\n  Help = C:\\Help\\  \r\n[NewEnv]\nExcelDir=\n[Product]\rDisplay=\"quoted\"");
    EXPECT_EQ("C:\\Torva", Get(f, "gendir", "DIR"));
    EXPECT_EQ("C:\\Help\\", Get(f, "GenDir", "Help"));
    EXPECT_EQ("", Get(f, "NewEnv", "ExcelDir"));
    EXPECT_EQ("quoted", Get(f, "Product", "Display"));
    EXPECT_EQ("<missing>", Get(f, "Product", "Dir"));
    EXPECT_EQ("<missing>", Get(f, "Nothing", "Dir"));
}

TEST(IniFile, FirstOfDuplicatesWinsAndOddLinesAreHarmless) {
    const IniFile f = IniFile::Parse(
        "\xEF\xBB\xBF[A]\nk=1\nk=2\ngarbage line\n=novalue\n[A]\nk=3\nj=4\n[\nx=y\n\x83\x5C=\x83\x5C");
    EXPECT_EQ("1", Get(f, "A", "k"));
    EXPECT_EQ("<missing>", Get(f, "A", "j"));  // the second [A] is not consulted
    EXPECT_EQ("y", Get(f, "", "x"));
    EXPECT_EQ("\x83\x5C", Get(f, "", "\x83\x5C"));
}

TEST(IniFile, KeysBeforeAnySectionAreNotFound) {
    const IniFile f = IniFile::Parse("k=v\n[S]\n");
    EXPECT_EQ("<missing>", Get(f, "S", "k"));
}

TEST(IniFile, SetReplacesAddsAndCreates) {
    IniFile f = IniFile::Parse("; keep me\r\n[GenDir]\r\nDir=C:\\T\r\n\r\n[Other]\r\nx=1\r\n");
    f.Set("gendir", "DIR", "D:\\U");
    f.Set("GenDir", "Help", "C:\\H\\");
    f.Set("NewEnv", "ExcelDir", "");
    const std::string text = f.Serialize();
    EXPECT_EQ(
        "; keep me\r\n[GenDir]\r\nDIR=D:\\U\r\nHelp=C:\\H\\\r\n\r\n[Other]\r\nx=1\r\n\r\n[NewEnv]\r\nExcelDir=\r\n",
        text);
    const IniFile g = IniFile::Parse(text);
    EXPECT_EQ("D:\\U", Get(g, "GenDir", "Dir"));
    EXPECT_EQ("", Get(g, "NewEnv", "ExcelDir"));  // an empty value stays a key
}

TEST(IniFile, WrittenValuesReadBackExactly) {
    for (const std::string v : {" lead", "trail ", "\"q\"", "\"", "a=b", "\x83\x5C\\", ""}) {
        IniFile f;
        f.Set("S", "k", v);
        EXPECT_EQ(v, Get(IniFile::Parse(f.Serialize()), "S", "k")) << v;
    }
}

TEST(IniFile, ALineBreakInAValueCannotWriteAnotherKey) {
    IniFile f;
    f.Set("S", "k", "v\r\n[T]\r\nx=1");
    const IniFile g = IniFile::Parse(f.Serialize());
    EXPECT_EQ("v", Get(g, "S", "k"));
    EXPECT_EQ("<missing>", Get(g, "T", "x"));
}

TEST(IniFile, NoFinalNewlineAndEmptyInput) {
    EXPECT_EQ("v", Get(IniFile::Parse("[S]\nk=v"), "S", "k"));
    IniFile f = IniFile::Parse("");
    EXPECT_EQ("", f.Serialize());
    f.Set("S", "k", "v");
    EXPECT_EQ("[S]\r\nk=v\r\n", f.Serialize());
}

TEST(IniFile, AByteOrderMarkIsKeptSoARewriteReadsTheSame) {
    // A second mark would otherwise become the first and turn "[A" into a header.
    IniFile f = IniFile::Parse("\xEF\xBB\xBF\xEF\xBB\xBF[A\n");
    f.Set("A", "k", "v");
    const IniFile g = IniFile::Parse(f.Serialize());
    EXPECT_EQ("v", Get(g, "A", "k"));
    EXPECT_EQ(0u, f.Serialize().find("\xEF\xBB\xBF\xEF\xBB\xBF[A\r\n"));
}
