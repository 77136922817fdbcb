#include <gtest/gtest.h>

#include <set>
#include <string>

#include "environment/StrUtils.h"
#include "help/HelpFunc_Torva.h"

TEST(HelpContextOf, KeywordsInTheirGroups) {
    struct Case {
        const char *keyword, *group;
        int32_t context;
    } cases[] = {
        {"TorvaManager", "TORVA", 100102}, {"torvamanager", "torva", 100102}, {"TorvaManager ", "Torva", 0},
        {"TorvaManage", "Torva", 0},       {"TorvaManager", "Torva ", 0},     {"", "Torva", 0},
        {"Index", "TorvaQ", 0},            {"Index", "Torva", 100001},        {"HISTORY", "TorvaQ", 999999},
        {"HISTORY", "Torva", 0},           {"History_01", "Torva", 299999},   {"History_01", "TorvaQ", 0},
        {"ExcelDisp", "Torva", 230302},    {"MakeBtDisp", "Torva", 203301},   {"DispOn", "Torva", 203303},
        {"HELPC_0001", "Torva", 201001},   {"B_HELPC_0001", "Torva", 201001}, {"TorvaMenuOther", "Torva", 201008},
        {"BtSetValue", "TorvaQ", 305001},  {"BtSetValue", "Torva", 205099},   {"BtMail", "TorvaQ", 301009},
        {"BtMail", "Torva", 205302},       {"BtPasteDialogFile", "TorvaQ", 308006},
        {"BtPasteDialogFile", "Torva", 205303}, {"BtDBLogin", "TorvaQ", 307020},
        {"Setup_Other", "Torva2", 701003}, {"Setup_Other", "TorvaA", 701003}, {"index_07", "torvaa", 700001},
        {"F_index", "TorvaF", 500001},     {"System_Index", "TorvaT", 650001}, {"GUID_Index", "TorvaG", 900001},
        {"GUID_Index", "TorvaT", 0},
        // Any other group name, compared as a whole text: the keyword is its own number.
        {"1234", "Other", 1234},           {"$10", "Other", 16},              {"abc", "Other", 0},
        {"", "Other", 0},                  {" -5", "", -5},                   {"TorvaManager", "Torv", 0},
        {"TorvaManager", "TorvaX", 0},     {"Index", "TorvaQQ", 0},           {"100102", "TorvaManager", 100102},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.context, HelpContextOf(c.keyword, c.group)) << c.keyword << " in " << c.group;
}

TEST(HelpKeywordTable, SizeAndEndsOfEveryGroup) {
    static HelpKeywordTable t;
    struct Expect {
        const char* group;
        int count;
        const char* first;
        int32_t firstContext;
        const char* last;
        int32_t lastContext;
    } groups[] = {
        {"TorvaQ", 120, "Index_02", 300001, "BtDBRollBack", 311004},
        {"Torva", 159, "Index", 100001, "DDialogJump", 205501},
        {"TorvaF", 1, "F_index", 500001, "F_index", 500001},
        {"Torva2", 4, "Index_07", 700001, "Setup_Other", 701003},
        {"TorvaA", 4, "Index_07", 700001, "Setup_Other", 701003},
        {"TorvaT", 2, "Button_Index", 600001, "System_Index", 650001},
        {"TorvaG", 1, "GUID_Index", 900001, "GUID_Index", 900001},
    };
    for (const Expect& e : groups) {
        for (const std::string& name : {std::string(e.group), UpperAscii(e.group), LowerAscii(e.group)}) {
            t.count = -1;
            FillHelpKeywordTable(name, "", t);
            ASSERT_EQ(e.count, t.count) << name;
            EXPECT_EQ(e.first, t.keywords[0]) << name;
            EXPECT_EQ(e.firstContext, t.contexts[0]) << name;
            EXPECT_EQ(e.last, t.keywords[t.count - 1]) << name;
            EXPECT_EQ(e.lastContext, t.contexts[t.count - 1]) << name;
        }
    }
    const std::string keyword = "$1F";  // the single row of another group refers to it
    FillHelpKeywordTable("Else", keyword, t);
    ASSERT_EQ(1, t.count);
    EXPECT_EQ(keyword, t.keywords[0]);
    EXPECT_EQ(31, t.contexts[0]);
}

// Every row can be found (none hidden behind an earlier one) and is numbered for its group:
// six digits led by the group's digit, apart from the two history topics.
TEST(HelpKeywordTable, EveryRowIsReachableAndNumberedForItsGroup) {
    static HelpKeywordTable t;
    for (const auto& [group, leads] : {std::pair<const char*, std::string>{"TorvaQ", "3"}, {"Torva", "12"},
                                       {"TorvaF", "5"}, {"Torva2", "7"}, {"TorvaT", "6"}, {"TorvaG", "9"}}) {
        FillHelpKeywordTable(group, "", t);
        std::set<std::string> seen;
        for (int i = 0; i < t.count; ++i) {
            const std::string keyword(t.keywords[i]);
            const int32_t c = t.contexts[i];
            EXPECT_TRUE(seen.insert(UpperAscii(keyword)).second) << "twice in " << group << ": " << keyword;
            EXPECT_EQ(c, HelpContextOf(LowerAscii(keyword), group)) << keyword;
            EXPECT_EQ(c, HelpContextOf(UpperAscii(keyword), group)) << keyword;
            if (c == 999999 || c == 299999) continue;
            EXPECT_TRUE(c >= 100000 && c <= 999999 && leads.find(char('0' + c / 100000)) != std::string::npos)
                << group << ": " << keyword << " " << c;
        }
    }
}

TEST(HelpTextToInt, StandardIntegerTextsOnly) {
    struct Case {
        std::string text;
        int32_t value;
    } cases[] = {
        {"0", 0}, {"007", 7}, {"   12", 12}, {"+5", 5}, {"-5", -5}, {std::string(300, '0') + "1", 1},
        {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}, {"$10", 16}, {"x1f", 31}, {"X1F", 31},
        {"0xFf", 255}, {"0XfF", 255}, {" -$10", -16}, {"$7FFFFFFF", 2147483647},
        // Eight hexadecimal digits are the integer's bit pattern.
        {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN}, {"-$80000000", INT32_MIN}, {"-$FFFFFFFF", 1},
        {"$000000001", 1},
        // Out of range.
        {"2147483648", 0}, {"-2147483649", 0}, {"4294967296", 0}, {std::string(40, '9'), 0},
        {"$100000000", 0}, {"-$100000000", 0}, {"0x" + std::string(40, 'F'), 0},
        // Not integers at all.
        {"", 0}, {" ", 0}, {"-", 0}, {"$", 0}, {"x", 0}, {"0x", 0}, {"-$", 0}, {"abc", 0}, {"12 ", 0},
        {"12a", 0}, {"1.5", 0}, {"\t12", 0}, {"--1", 0}, {"+-1", 0}, {"- 1", 0}, {"0x-1", 0}, {"$G", 0},
        {"$$1", 0}, {"0x0x1", 0}, {"1e3", 0}, {"１", 0}, {std::string("1\0" "2", 3), 0}, {std::string("12\0", 3), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value, HelpTextToInt(c.text)) << '"' << c.text << '"';
    // Only the text given counts, not what follows it in memory.
    EXPECT_EQ(1, HelpTextToInt(std::string_view("12", 1)));
}

TEST(ManagerHelpFilePath, TheSeparatorIsAddedOnlyWhereItIsMissing) {
    // The last two end in katakana "so", whose trail byte is 0x5C.
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Help\\", "C:\\Help\\TORVA.chm"}, {"C:\\Help", "C:\\Help\\TORVA.chm"}, {"", "TORVA.chm"},
        {"C:\\", "C:\\TORVA.chm"}, {"D:\\\x83\x5C", "D:\\\x83\x5C\\TORVA.chm"},
        {"D:\\\x83\x5C\\", "D:\\\x83\x5C\\TORVA.chm"}};
    for (const auto& [folder, file] : cases) EXPECT_EQ(file, ManagerHelpFilePath(folder)) << folder;
}
