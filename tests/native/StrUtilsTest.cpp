#include <gtest/gtest.h>

#include <cstdlib>

#include "environment/CopyAccess.h"
#include "environment/StrUtils.h"

namespace {
// Katakana "so": lead 0x83, trail 0x5C (the backslash byte).
const std::string kSo = "\x83\x5C";
}

TEST(GetToken, FieldsOfCommaList) {
    const std::string s = "a,b,,c";
    EXPECT_EQ("a", GetToken(s, 1, ","));
    EXPECT_EQ("a", GetToken(s, 0, ","));
    EXPECT_EQ("a", GetToken(s, -3, ","));
    EXPECT_EQ("b", GetToken(s, 2, ","));
    EXPECT_EQ("", GetToken(s, 3, ","));
    EXPECT_EQ("c", GetToken(s, 4, ","));
    EXPECT_EQ("", GetToken(s, 5, ","));
}

TEST(GetToken, EdgesOfTheText) {
    EXPECT_EQ("", GetToken("a,", 2, ","));
    EXPECT_EQ("abc", GetToken("abc", 1, ","));
    EXPECT_EQ("", GetToken("abc", 2, ","));
    EXPECT_EQ("abc", GetToken("abc", 1, ""));
    EXPECT_EQ("", GetToken("abc", 2, ""));
    EXPECT_EQ("", GetToken("", 1, ","));
    EXPECT_EQ("", GetToken(",x", 1, ","));
    // A longer delimiter: the next field starts one byte after the match's first byte.
    EXPECT_EQ(":b:c", GetToken("a::b:c", 2, "::"));
}

TEST(GetToken, TrailByteIsNeverADelimiter) {
    const std::string s = "x" + kSo + "y\\z";
    EXPECT_EQ("x" + kSo + "y", GetToken(s, 1, "\\"));
    EXPECT_EQ("z", GetToken(s, 2, "\\"));
    // The second byte of a double-byte character equal to ',' cannot occur, but '@' (0x40) can.
    EXPECT_EQ("\x81@b", GetToken("\x81@b@c", 1, "@"));
}

TEST(MbcsPos, SkipsMatchesOnTrailBytes) {
    EXPECT_EQ(0, MbcsPos("\\", kSo));
    EXPECT_EQ(3, MbcsPos("\\", kSo + "\\"));
    EXPECT_EQ(1, MbcsPos("a", "abc"));
    EXPECT_EQ(0, MbcsPos("", "abc"));
    EXPECT_EQ(0, MbcsPos("a", ""));
    EXPECT_EQ(0, MbcsPos("abcd", "abc"));
    // Repeated skipped hits, then a real one.
    EXPECT_EQ(7, MbcsPos("\\", kSo + kSo + kSo + "\\"));
}

TEST(IsTrailByteAt, WalksFromTheFirstByte) {
    const std::string s = "a" + kSo + "\x81\x81" "b";
    EXPECT_FALSE(IsTrailByteAt(s, 1));
    EXPECT_FALSE(IsTrailByteAt(s, 2));
    EXPECT_TRUE(IsTrailByteAt(s, 3));
    EXPECT_FALSE(IsTrailByteAt(s, 4));
    EXPECT_TRUE(IsTrailByteAt(s, 5));  // 0x81 after a lead byte is a trail byte
    EXPECT_FALSE(IsTrailByteAt(s, 6));
    EXPECT_FALSE(IsTrailByteAt(s, 0));
    EXPECT_FALSE(IsTrailByteAt(s, 99));
    EXPECT_FALSE(IsTrailByteAt("", 1));
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0x9F));
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_TRUE(IsLeadByte(0xE0));
    EXPECT_TRUE(IsLeadByte(0xFC));
    EXPECT_FALSE(IsLeadByte(0xFD));
    EXPECT_FALSE(IsLeadByte(0x80));
}

TEST(Unquote, OnlyAnEnclosingPair) {
    EXPECT_EQ("abc", Unquote("\"abc\""));
    EXPECT_EQ("", Unquote("\""));
    EXPECT_EQ("", Unquote("\"\""));
    EXPECT_EQ("\"abc", Unquote("\"abc"));
    EXPECT_EQ("", Unquote(""));
}

TEST(VersionToInt, DigitsOfTheFirstField) {
    EXPECT_EQ(11, VersionToInt("11.0"));
    EXPECT_EQ(9, VersionToInt("\"9.0\""));
    EXPECT_EQ(9, VersionToInt("Manager9"));
    EXPECT_EQ(123, VersionToInt("12a3"));
    EXPECT_EQ(7, VersionToInt("007"));
    EXPECT_EQ(-5, VersionToInt("-5.2"));
    EXPECT_EQ(0, VersionToInt(""));
    EXPECT_EQ(0, VersionToInt("abc"));
    EXPECT_EQ(0, VersionToInt("-"));
    EXPECT_EQ(0, VersionToInt("99999999999"));
    EXPECT_EQ(2147483647, VersionToInt("2147483647"));
    EXPECT_EQ(0, VersionToInt("2147483648"));
    EXPECT_EQ(-2147483647 - 1, VersionToInt("-2147483648"));
    EXPECT_EQ(0, VersionToInt("000"));
    EXPECT_EQ(1010, VersionToInt("Torva1Man010"));
}

TEST(VersionToFloat, MinorReadAsDecimals) {
    EXPECT_DOUBLE_EQ(4.1, VersionToFloat("4.10"));
    EXPECT_DOUBLE_EQ(4.9, VersionToFloat("4.90"));
    EXPECT_DOUBLE_EQ(6, VersionToFloat("6.0"));
    EXPECT_DOUBLE_EQ(5.1, VersionToFloat("5.1.2600"));
    EXPECT_DOUBLE_EQ(5, VersionToFloat("5"));
    EXPECT_DOUBLE_EQ(5.02, VersionToFloat("\"5.0x2\""));
    EXPECT_DOUBLE_EQ(0, VersionToFloat(""));
}

TEST(VersionToFloat, RoundsExactlyAsADecimalConversion) {
    // Summing the whole and the fraction would round twice and miss these by a bit.
    for (const char* text : {"1.14", "1.36", "-1.59", "3.14159265358979"})
        EXPECT_EQ(std::strtod(text, nullptr), VersionToFloat(text)) << text;
}

TEST(TrailingBackslash, AddAndStrip) {
    EXPECT_EQ("", AddTrailingBackslash(""));
    EXPECT_EQ("C:\\A\\", AddTrailingBackslash("C:\\A"));
    EXPECT_EQ("C:\\A\\", AddTrailingBackslash("C:\\A\\"));
    EXPECT_EQ("\\", AddTrailingBackslash("\\"));
    EXPECT_EQ("C:\\" + kSo + "\\", AddTrailingBackslash("C:\\" + kSo));
    EXPECT_EQ("C:\\", StripTrailingBackslash("C:\\"));
    EXPECT_EQ("C:\\A", StripTrailingBackslash("C:\\A\\"));
    EXPECT_EQ("C:\\A", StripTrailingBackslash("C:\\A"));
    EXPECT_EQ("C:\\A\\", StripTrailingBackslash("C:\\A\\\\"));  // at most one
    EXPECT_EQ("C:\\" + kSo, StripTrailingBackslash("C:\\" + kSo));
}

TEST(Folding, AsciiOnlyAndNotInsideDoubleByteCharacters) {
    // 0x83 0x61 is one character whose trail byte looks like 'a'.
    EXPECT_EQ("\x83" "aBC", UpperAscii("\x83" "abc"));
    EXPECT_TRUE(SameTextAscii("TorvaQ", "TORVAQ"));
    EXPECT_FALSE(SameTextAscii("\x83" "a", "\x83" "A"));
    EXPECT_TRUE(ContainsNoCase("x/vrk", "/VRK"));
    EXPECT_EQ("TorvaMan9.exe", ExtractFileName("C:\\dir\\TorvaMan9.exe"));
    EXPECT_EQ("b.exe", ExtractFileName("a:b.exe"));
    EXPECT_EQ(kSo + "x.exe", ExtractFileName(kSo + "x.exe"));
}

TEST(IsPathWithin, CaseBoundaryAndTrailingBackslashAsWindowsHasThem) {
    struct Case {
        const char* path;
        const char* folder;
        bool within;
    } cases[] = {
        {"C:\\Users\\al\\AppData\\Roaming\\x.xla", "c:\\users\\AL", true},
        {"C:\\Users\\al", "C:\\Users\\al\\", true},
        {"C:\\Users\\al\\", "C:\\Users\\al", true},
        {"C:\\Users\\al\\x", "C:\\Users\\a", false},
        {"C:\\Users\\a", "C:\\Users\\al", false},
        {"C:\\Program Files (x86)\\x", "C:\\Program Files", false},
        {"D:\\x", "C:\\", false},
        {"C:\\x", "C:\\", true},
        {"C:\\x", "", false},
        {"", "C:\\", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.within, IsPathWithin(c.path, c.folder)) << c.path << " in " << c.folder;
    // A trail byte that looks like a backslash or a letter is neither.
    EXPECT_TRUE(IsPathWithin("C:\\" + kSo + "\\x", "C:\\" + kSo));
    EXPECT_FALSE(IsPathWithin("C:\\" + kSo + "x", "C:\\" + kSo));
    EXPECT_FALSE(IsPathWithin("C:\\\x83" "a\\x", "C:\\\x83" "A"));
}

TEST(OpenToEveryone, OnlyOutsideTheUsersOwnFolders) {
    const std::vector<std::string> own = {"C:\\Users\\al", "C:\\Users\\al\\AppData\\Roaming\\",
                                          "\\\\srv\\profiles$\\al\\AppData\\Local", ""};
    for (const char* path : {"C:\\Users\\al\\AppData\\Roaming\\Microsoft\\Excel\\XLSTART\\x.XLA",
                             "c:\\users\\AL\\x.xla", "\\\\SRV\\Profiles$\\al\\AppData\\Local\\x.xla"})
        EXPECT_FALSE(OpenToEveryone(path, own)) << path;
    for (const char* path : {"C:\\Program Files\\Microsoft Office\\root\\Office16\\XLSTART\\Torva.xla",
                             "C:\\Users\\alice\\x.xla", "C:\\Users\\Public\\x.xla", "D:\\Users\\al\\x.xla"})
        EXPECT_TRUE(OpenToEveryone(path, own)) << path;
    EXPECT_TRUE(OpenToEveryone("C:\\Users\\al\\x.xla", {"", ""}));  // a Windows without such folders
}

TEST(FileExt, LastPeriodOfTheNamePartOnly) {
    EXPECT_EQ(".xyz", ExtractFileExt("report.xyz"));
    EXPECT_EQ(".gz", ExtractFileExt("C:\\a.b\\data.tar.gz"));
    EXPECT_EQ("", ExtractFileExt("C:\\a.b\\README"));
    EXPECT_EQ(".", ExtractFileExt("name."));
    EXPECT_EQ("", ExtractFileExt(""));
    // The backslash byte inside "ソ" separates nothing, so the period before it still counts.
    EXPECT_EQ(".b" + kSo + "c", ExtractFileExt("C:\\a.b" + kSo + "c"));
}
