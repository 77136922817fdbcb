#include <gtest/gtest.h>

#include <set>
#include <string>

#include "environment/StrUtils.h"
#include "help/HelpFunc_Torva.h"

namespace {

struct Row {
    std::string keyword;
    int32_t context;
};

HelpKeywordTable& Filled(const std::string& group, const std::string& keyword = "") {
    static HelpKeywordTable table;
    table.count = -1;
    FillHelpKeywordTable(group, keyword, table);
    return table;
}

}  // namespace

TEST(HelpContextOf, ManagerTopicInAnyCase) {
    EXPECT_EQ(100102, HelpContextOf("TorvaManager", "TORVA"));
    EXPECT_EQ(100102, HelpContextOf("torvamanager", "torva"));
    EXPECT_EQ(100102, HelpContextOf("TORVAMANAGER", "Torva"));
    // Folding is for ASCII letters only: a near miss stays a miss.
    EXPECT_EQ(0, HelpContextOf("TorvaManager ", "Torva"));
    EXPECT_EQ(0, HelpContextOf("TorvaManage", "Torva"));
    EXPECT_EQ(0, HelpContextOf("TorvaManager", "Torva "));
}

TEST(HelpContextOf, KeywordsBelongToTheirGroup) {
    EXPECT_EQ(0, HelpContextOf("Index", "TorvaQ"));
    EXPECT_EQ(100001, HelpContextOf("Index", "Torva"));
    EXPECT_EQ(999999, HelpContextOf("HISTORY", "TorvaQ"));
    EXPECT_EQ(0, HelpContextOf("HISTORY", "Torva"));
    EXPECT_EQ(299999, HelpContextOf("History_01", "Torva"));
    EXPECT_EQ(0, HelpContextOf("History_01", "TorvaQ"));

    EXPECT_EQ(305001, HelpContextOf("BtSetValue", "TorvaQ"));
    EXPECT_EQ(205099, HelpContextOf("BtSetValue", "Torva"));
    EXPECT_EQ(301009, HelpContextOf("BtMail", "TorvaQ"));
    EXPECT_EQ(205302, HelpContextOf("BtMail", "Torva"));
    EXPECT_EQ(308006, HelpContextOf("BtPasteDialogFile", "TorvaQ"));
    EXPECT_EQ(205303, HelpContextOf("BtPasteDialogFile", "Torva"));
}

TEST(HelpContextOf, NumbersOutsideTheRuns) {
    EXPECT_EQ(230302, HelpContextOf("ExcelDisp", "Torva"));
    EXPECT_EQ(203301, HelpContextOf("MakeBtDisp", "Torva"));
    EXPECT_EQ(203303, HelpContextOf("DispOn", "Torva"));
    EXPECT_EQ(201001, HelpContextOf("HELPC_0001", "Torva"));
    EXPECT_EQ(201001, HelpContextOf("B_HELPC_0001", "Torva"));
    EXPECT_EQ(201008, HelpContextOf("TorvaMenuOther", "Torva"));
    EXPECT_EQ(202407, HelpContextOf("MakeBtRecordQuery", "Torva"));
    EXPECT_EQ(307020, HelpContextOf("BtDBLogin", "TorvaQ"));
}

TEST(HelpContextOf, SmallGroups) {
    EXPECT_EQ(701003, HelpContextOf("Setup_Other", "Torva2"));
    EXPECT_EQ(701003, HelpContextOf("Setup_Other", "TorvaA"));
    EXPECT_EQ(700001, HelpContextOf("index_07", "torvaa"));
    EXPECT_EQ(500001, HelpContextOf("F_index", "TorvaF"));
    EXPECT_EQ(600001, HelpContextOf("Button_Index", "TorvaT"));
    EXPECT_EQ(650001, HelpContextOf("System_Index", "TorvaT"));
    EXPECT_EQ(900001, HelpContextOf("GUID_Index", "TorvaG"));
    EXPECT_EQ(0, HelpContextOf("GUID_Index", "TorvaT"));
}

TEST(HelpContextOf, AnyOtherGroupMakesTheKeywordItsNumber) {
    EXPECT_EQ(1234, HelpContextOf("1234", "Other"));
    EXPECT_EQ(16, HelpContextOf("$10", "Other"));
    EXPECT_EQ(0, HelpContextOf("abc", "Other"));
    EXPECT_EQ(0, HelpContextOf("", "Other"));
    EXPECT_EQ(-5, HelpContextOf(" -5", ""));
    // Group names match as whole texts: these are none of the known groups.
    EXPECT_EQ(0, HelpContextOf("TorvaManager", "Torv"));
    EXPECT_EQ(0, HelpContextOf("TorvaManager", "TorvaX"));
    EXPECT_EQ(0, HelpContextOf("Index", "TorvaQQ"));
    EXPECT_EQ(100102, HelpContextOf("100102", "TorvaManager"));
    // An empty keyword is in no known table.
    EXPECT_EQ(0, HelpContextOf("", "Torva"));
}

TEST(HelpKeywordTable, SizeAndEndsOfEveryGroup) {
    struct Expect {
        const char* group;
        int count;
        Row first, last;
    } groups[] = {
        {"TorvaQ", 120, {"Index_02", 300001}, {"BtDBRollBack", 311004}},
        {"Torva", 159, {"Index", 100001}, {"DDialogJump", 205501}},
        {"TorvaF", 1, {"F_index", 500001}, {"F_index", 500001}},
        {"Torva2", 4, {"Index_07", 700001}, {"Setup_Other", 701003}},
        {"TorvaA", 4, {"Index_07", 700001}, {"Setup_Other", 701003}},
        {"TorvaT", 2, {"Button_Index", 600001}, {"System_Index", 650001}},
        {"TorvaG", 1, {"GUID_Index", 900001}, {"GUID_Index", 900001}},
    };
    for (const Expect& e : groups) {
        SCOPED_TRACE(e.group);
        for (const std::string& name : {std::string(e.group), UpperAscii(e.group), LowerAscii(e.group)}) {
            const HelpKeywordTable& t = Filled(name);
            ASSERT_EQ(e.count, t.count);
            EXPECT_EQ(e.first.keyword, t.keywords[0]);
            EXPECT_EQ(e.first.context, t.contexts[0]);
            EXPECT_EQ(e.last.keyword, t.keywords[t.count - 1]);
            EXPECT_EQ(e.last.context, t.contexts[t.count - 1]);
        }
    }
    const std::string keyword = "$1F";  // the single row refers to it
    const HelpKeywordTable& other = Filled("Else", keyword);
    ASSERT_EQ(1, other.count);
    EXPECT_EQ(keyword, other.keywords[0]);
    EXPECT_EQ(31, other.contexts[0]);
}

// Every row can be found (none hidden behind an earlier one), and its number fits the
// group's numbering: six digits led by the group's digit, apart from the two history topics.
TEST(HelpKeywordTable, EveryRowIsReachableAndNumberedForItsGroup) {
    struct Scheme {
        const char* group;
        std::string leads;
    } schemes[] = {
        {"TorvaQ", "3"}, {"Torva", "12"}, {"TorvaF", "5"}, {"Torva2", "7"}, {"TorvaT", "6"}, {"TorvaG", "9"},
    };
    for (const Scheme& s : schemes) {
        SCOPED_TRACE(s.group);
        const HelpKeywordTable& t = Filled(s.group);
        std::set<std::string> seen;
        for (int i = 0; i < t.count; ++i) {
            const std::string keyword(t.keywords[i]);
            EXPECT_TRUE(seen.insert(UpperAscii(keyword)).second) << "twice: " << keyword;
            EXPECT_EQ(t.contexts[i], HelpContextOf(LowerAscii(keyword), s.group)) << keyword;
            EXPECT_EQ(t.contexts[i], HelpContextOf(UpperAscii(keyword), s.group)) << keyword;

            const int32_t c = t.contexts[i];
            if (c == 999999 || c == 299999) continue;
            ASSERT_TRUE(c >= 100000 && c <= 999999) << keyword << " " << c;
            EXPECT_NE(std::string::npos, s.leads.find(char('0' + c / 100000))) << keyword << " " << c;
        }
    }
}

TEST(HelpTextToInt, DecimalAndSigns) {
    EXPECT_EQ(0, HelpTextToInt("0"));
    EXPECT_EQ(7, HelpTextToInt("007"));
    EXPECT_EQ(12, HelpTextToInt("   12"));
    EXPECT_EQ(5, HelpTextToInt("+5"));
    EXPECT_EQ(-5, HelpTextToInt("-5"));
    EXPECT_EQ(1, HelpTextToInt(std::string(300, '0') + "1"));
    EXPECT_EQ(2147483647, HelpTextToInt("2147483647"));
    EXPECT_EQ(INT32_MIN, HelpTextToInt("-2147483648"));
}

TEST(HelpTextToInt, Hexadecimal) {
    EXPECT_EQ(16, HelpTextToInt("$10"));
    EXPECT_EQ(31, HelpTextToInt("x1f"));
    EXPECT_EQ(31, HelpTextToInt("X1F"));
    EXPECT_EQ(255, HelpTextToInt("0xFf"));
    EXPECT_EQ(255, HelpTextToInt("0XfF"));
    EXPECT_EQ(-16, HelpTextToInt(" -$10"));
    EXPECT_EQ(2147483647, HelpTextToInt("$7FFFFFFF"));
    // Eight digits are the integer's bit pattern.
    EXPECT_EQ(-1, HelpTextToInt("$FFFFFFFF"));
    EXPECT_EQ(INT32_MIN, HelpTextToInt("$80000000"));
    EXPECT_EQ(INT32_MIN, HelpTextToInt("-$80000000"));
    EXPECT_EQ(1, HelpTextToInt("-$FFFFFFFF"));
    EXPECT_EQ(1, HelpTextToInt("$000000001"));
}

TEST(HelpTextToInt, AnythingElseIsZero) {
    for (const std::string s : {"", " ", "-", "+", "$", "x", "0x", "-$", "abc", "12 ", "12a", "1.5", "\t12",
                                "--1", "+-1", "- 1", "0x-1", "$G", "$$1", "0x0x1", "1e3", "0b1", "１"}) {
        EXPECT_EQ(0, HelpTextToInt(s)) << '"' << s << '"';
    }
    EXPECT_EQ(0, HelpTextToInt(std::string("1\0" "2", 3)));
    EXPECT_EQ(0, HelpTextToInt(std::string("12\0", 3)));
    // Only the text given counts, not what follows it in memory.
    EXPECT_EQ(1, HelpTextToInt(std::string_view("12", 1)));
}

TEST(HelpTextToInt, OverflowIsZero) {
    EXPECT_EQ(0, HelpTextToInt("2147483648"));
    EXPECT_EQ(0, HelpTextToInt("-2147483649"));
    EXPECT_EQ(0, HelpTextToInt("4294967296"));
    EXPECT_EQ(0, HelpTextToInt("99999999999999999999999999999999"));
    EXPECT_EQ(0, HelpTextToInt("$100000000"));
    EXPECT_EQ(0, HelpTextToInt("-$100000000"));
    EXPECT_EQ(0, HelpTextToInt("0x" + std::string(40, 'F')));
}
