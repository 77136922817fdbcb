#include <gtest/gtest.h>

#include "edition/EditionRules.h"
#include "startup/ArgGrammar.h"

TEST(Edition, FromTheExecutableName) {
    EXPECT_EQ(0, ServedVersionOfFileName("TorvaMan.exe"));
    EXPECT_EQ(9, ServedVersionOfFileName("TorvaMan9.exe"));
    EXPECT_EQ(15, ServedVersionOfFileName("TorvaMan15.exe"));
    EXPECT_EQ(15, ServedVersionOfFileName("Torva1Man5.exe"));
    EXPECT_EQ(0, ServedVersionOfFileName("TorvaMan.9.exe"));
    EXPECT_EQ("EA", EditionForServedVersion(0));
    EXPECT_EQ("EB", EditionForServedVersion(8));
    EXPECT_EQ("EC", EditionForServedVersion(9));
    EXPECT_EQ("ED", EditionForServedVersion(10));
    for (int v : {1, 5, 7, 11, 12, 15, -1}) EXPECT_EQ("", EditionForServedVersion(v)) << v;
}

TEST(Edition, FromTheLongNameOfTheProgramsFileOrElseTheNameGiven) {
    const struct {
        const char *path, *longName, *name;
        int version;
    } cases[] = {
        {"C:\\TORVA\\TORVAM~1.EXE", "TorvaMan9.exe", "TorvaMan9.exe", 9},
        {"C:\\TORVA\\TORVAM~1.EXE", "", "TORVAM~1.EXE", 1},
        {"C:\\Program Files\\TorvaMan10.exe", "TorvaMan10.exe", "TorvaMan10.exe", 10},
        {"C:\\\x83\x5C\\TorvaMan8.exe", "", "TorvaMan8.exe", 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.name, ExecutableFileName(c.path, c.longName)) << c.path;
        EXPECT_EQ(c.version, ServedVersionOfFileName(ExecutableFileName(c.path, c.longName))) << c.path;
    }
}

TEST(Edition, WindowAndCommandLineMappingsDiffer) {
    EXPECT_EQ("EA", GetTorvaType(5));
    EXPECT_EQ("", GetTorvaType(0));
    EXPECT_EQ("ED", GetTorvaType(10));
    EXPECT_EQ("", GetTorvaType(12));
    EXPECT_EQ(5, ClampedVersion(0));
    EXPECT_EQ(5, ClampedVersion(7));
    EXPECT_EQ(5, ClampedVersion(-3));
    EXPECT_EQ(8, ClampedVersion(8));
    EXPECT_EQ(5, ExcelVersionOfEdition("EA"));
    EXPECT_EQ(8, ExcelVersionOfEdition("EB"));
    EXPECT_EQ(9, ExcelVersionOfEdition("EC"));
    EXPECT_EQ(0, ExcelVersionOfEdition("ED"));
    EXPECT_EQ(0, ExcelVersionOfEdition(""));
    EXPECT_EQ(0, ExcelVersionOfEdition("ea"));
    EXPECT_EQ("TorvaEB", ProductLabel("EB"));
    EXPECT_EQ("Torva", ProductLabel(""));
}

TEST(SplitCommandLine, BlanksSeparateQuotesGroup) {
    using V = std::vector<std::string>;
    EXPECT_EQ(V{}, SplitCommandLine("TorvaMan.exe"));
    EXPECT_EQ(V{}, SplitCommandLine("\"C:\\Program Files\\TorvaMan.exe\"   "));
    EXPECT_EQ((V{"C:\\Tools\\Update.exe", "/EXE=C:\\a b\\r.exe"}),
              SplitCommandLine("x.exe C:\\Tools\\Update.exe \"/EXE=C:\\a b\\r.exe\""));
    EXPECT_EQ((V{"C:\\dir\\", "next"}), SplitCommandLine("x \"C:\\dir\\\" next"));
    EXPECT_EQ((V{""}), SplitCommandLine("x \"\""));
    EXPECT_EQ((V{"unbalanced rest"}), SplitCommandLine("x \"unbalanced rest"));
    EXPECT_EQ((V{"a\tb"}), SplitCommandLine("x\t\"a\tb\""));
    // Shift-JIS bytes, including a 0x5C trail byte, pass through unchanged.
    EXPECT_EQ((V{"\x83\x5C\x95\\"}), SplitCommandLine("x \x83\x5C\x95\\"));
}

TEST(ParseArguments, PrecedenceAndLastWins) {
    CommandLineValues v = ParseArguments({"C:\\a.exe", "C:\\b.exe", "/exe=C:\\r.exe=x", "/cw=T,A,B"});
    EXPECT_EQ("C:\\b.exe", v.runPath);
    EXPECT_EQ("C:\\r.exe", v.exePath);
    EXPECT_EQ("/cw=T,A,B", v.cwSpec);

    v = ParseArguments({"/EXE=C:\\x/CW", "/VRK", "C:/fwd/slash.exe", "/EXE"});
    EXPECT_EQ("/VRK", v.cwSpec);  // the /EXE containing /CW was taken as a watch, then replaced
    EXPECT_EQ("", v.exePath);     // "/EXE" without "=" gives an empty path
    EXPECT_EQ("", v.runPath);     // a path with forward slashes is ignored

    v = ParseArguments({"/Vrk", "/CW"});
    EXPECT_EQ("/CW", v.cwSpec);
}
