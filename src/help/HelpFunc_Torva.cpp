#include "help/HelpFunc_Torva.h"

#include <cstddef>

#include "environment/StrUtils.h"

namespace {

struct HelpRow {
    std::string_view keyword;
    int32_t context;
};

// Each run of consecutive context numbers starts on a new line; the rows keep the table's order.
constexpr HelpRow kTorvaQ[] = {
    {"Index_02", 300001}, {"expcelllink", 300002}, {"HELP000001", 300003}, {"HELPC_00057", 300004},
    {"HELPC_00054", 300005}, {"WebDav", 300006}, {"Developers", 300007},
    {"HISTORY", 999999},
    {"BtOpen", 301001}, {"BtDialogOpen", 301002}, {"BtNamedSave", 301003}, {"BtFolder", 301004},
    {"BtFileCopy", 301005}, {"BtKillFile", 301006}, {"BtKillFolder", 301007}, {"BtFileSetAttr", 301008},
    {"BtMail", 301009}, {"BtClose", 301010}, {"BtFileRename", 301011},
    {"BtCell", 302001}, {"BtJump", 302002}, {"BtCellCopy", 302003}, {"BtCellClear", 302004},
    {"BtRowDelete", 302005}, {"BtColDelete", 302006}, {"BtSheetCopy", 302007}, {"BtSheetDelete", 302008},
    {"BtBookNew", 302009}, {"BtSearch", 302010}, {"BtCopy", 302011}, {"BtBookNewCopy", 302012},
    {"BtPrint", 303001}, {"BtPrintArea", 303002}, {"BtPrintHeaderFooter", 303003}, {"BtPrintSetup", 303004},
    {"BtRowPrint", 303005}, {"BtResetRowPrint", 303006}, {"BtBookActive", 303007}, {"BtZoom", 303008},
    {"BtOffsetName", 304001}, {"BtRowInsert", 304002}, {"BtColInsert", 304003}, {"BtGraph", 304004},
    {"BtReDefineName", 304005}, {"BtNameDelete", 304006}, {"BtSheetInsert", 304007}, {"BtPageBreak", 304008},
    {"BtUnPageBreak", 304009}, {"BtComment", 304010},
    {"BtSetValue", 305001}, {"BtSetFormat", 305002}, {"BtRow", 305003}, {"BtCol", 305004},
    {"BtPicture", 305005}, {"BtBlink", 305006}, {"BtObjCopy", 305007}, {"BtObjDelete", 305008},
    {"BtObjVisible", 305009}, {"BtSheetVisible", 305010}, {"BtSheetRename", 305011}, {"BtSetMultiCell", 305012},
    {"BtProtect", 306001}, {"BtUnProtect", 306002}, {"BtProtectEntry", 306003}, {"BtHelp", 306004},
    {"BtHelpFile", 306005}, {"BtPowerPoint", 306006}, {"BtCalc", 306007}, {"BtMacro", 306008},
    {"BtNumStr", 306009}, {"BtSetOLEObject", 306010}, {"BtCalendar", 306011},
    {"BtQuery", 307001}, {"BtUpload", 307002}, {"BtDelete", 307003}, {"BtTextRead", 307004},
    {"BtTextWrite", 307005}, {"BtFilter", 307006}, {"BtAutoFilter", 307007}, {"BtSort", 307008},
    {"BtPivotRefresh", 307009}, {"BtMerge", 307010}, {"BtRecordQuery", 307011}, {"BtRecordUpload", 307012},
    {"BtRecordDelete", 307013},
    {"BtDBLogin", 307020}, {"BtDBLogout", 307021},
    {"BtPasteActiveCell", 308001}, {"BtPasteSheetName", 308002}, {"BtPasteBookName", 308003},
    {"BtPasteBookPath", 308004}, {"BtPasteFileName", 308005}, {"BtPasteDialogFile", 308006},
    {"BtPasteWindowName", 308007}, {"BtPasteReturnState", 308008},
    {"BtPush", 309001}, {"BtPushIf", 309002}, {"BtLoop", 309003}, {"BtDialog", 309004}, {"BtMessage", 309005},
    {"BtMessageIf", 309006}, {"BtExe", 309007}, {"BtEntry", 309008}, {"BtFreezePane", 309009},
    {"BtUnFreezePane", 309010}, {"BtMessageCell", 309011},
    {"BtWebLogin", 310001}, {"BtPasteLoginName", 310002}, {"BtWindowSize", 310003}, {"BtSelectEventOn", 310004},
    {"BtSelectEventOff", 310005}, {"BtChangeEventOn", 310006}, {"BtChangeEventOff", 310007},
    {"BtSetBookSaved", 310008}, {"BtPasteBookSaved", 310009}, {"BtObjTextLink", 310010},
    {"BtSQL", 311001}, {"BtSQLQuery", 311002}, {"BtDBCommit", 311003}, {"BtDBRollBack", 311004},
};
constexpr HelpRow kTorva[] = {
    {"Index", 100001},
    {"TorvaManager", 100102}, {"ShortCuts", 100103},
    {"Index_01", 200001},
    {"ButtonTemplate", 200101}, {"AUTO", 200102}, {"ACTIVE", 200103}, {"PUSH", 200104},
    {"ADDIN", 200501}, {"USE", 200502}, {"NAME", 200503}, {"RelationDrive", 200504}, {"ECT_1", 200505},
    {"ODBC", 200506}, {"InpMode", 200507},
    {"History_01", 299999},
    {"B_HELPC_0001", 201001}, {"TorvaMenu1_J", 201002}, {"TorvaMenu1_C", 201003}, {"TorvaMenu2_J", 201004},
    {"TorvaMenu2_C", 201005}, {"TorvaMenu3_J", 201006}, {"TorvaMenu3_C", 201007}, {"TorvaMenuOther", 201008},
    {"HELPC_0001", 201001},
    {"MakeBtCell", 202101}, {"MakeBtCopy", 202102}, {"MakeBtCellCopy", 202103}, {"MakeBtCellClear", 202104},
    {"MakeBtSetMultiCell", 202105}, {"MakeBtOffsetName", 202106}, {"MakeBtSetFormat", 202107},
    {"MakeBtJump", 202201}, {"AfterSheet", 202202}, {"BeforeSheet", 202203}, {"DialogJump", 202204},
    {"MakeBtOpen", 202301}, {"MakeBtDialogOpen", 202302}, {"BookNew", 202303}, {"MakeBtNamedSave", 202304},
    {"BookSave", 202305}, {"BookQuit", 202306}, {"BookEnd", 202307}, {"OverSave", 202308}, {"ExcelEnd", 202309},
    {"ExcelQuitEnd", 202310}, {"BookQuitEnd", 202311},
    {"MakeBtQuery", 202401}, {"MakeBtTextRead", 202402}, {"MakeBtFilter", 202403}, {"MakeBtSort", 202404},
    {"MakeBtPivotRefresh", 202405},
    {"MakeBtRecordQuery", 202407}, {"MakeBtRecordUpload", 202408}, {"MakeBtRecordDelete", 202409},
    {"MakeBtMerge", 202410},
    {"Printer", 202501}, {"MakeBtBlink", 202502}, {"MakeBtSearch", 202503}, {"MakeBtPowerPoint", 202504},
    {"MakeBtNumStr", 202505},
    {"MakeBtExe", 202601}, {"Explorer", 202602}, {"MsWord", 202603}, {"PowerPoint", 202604}, {"Access", 202605},
    {"Appli1", 202701}, {"Appli2", 202702}, {"Appli3", 202703},
    {"MakeBtPush", 203101}, {"MakeBtPushIf", 203102},
    {"MakeBtMessage", 203201}, {"MakeBtHelp", 203202}, {"MakeBtProtect", 203203}, {"MakeBtUnProtect", 203204},
    {"CalcAuto", 203205}, {"CalcMan", 203206}, {"TorvaActiveOn", 203207}, {"TorvaActiveOff", 203208},
    {"None", 203209}, {"MakeBtMessageCell", 203210}, {"ExcelCut", 203211}, {"ExcelCopy", 203212},
    {"ExcelPaste", 203213}, {"MakeBtBookNewCopy", 203214}, {"ExcelUndo", 203215},
    {"MakeBtDisp", 203301},
    {"ExcelDisp", 230302},
    {"DispOn", 203303}, {"DispOff", 203304},
    {"MakeBtEntry", 203401}, {"ResetEntry", 203402}, {"ResetTorva", 203403}, {"ExcelKeyOn", 203404},
    {"ExcelKeyOff", 203405}, {"ExcelKeyOff_List", 203406}, {"CellDragOn", 203407}, {"CellDragOff", 203408},
    {"CtrlCVXKeyOn", 203409}, {"CtrlCVXKeyOff", 203410}, {"CellRightClickOn", 203411},
    {"CellRightClickOff", 203412}, {"ReturnDown", 203413}, {"ReturnRight", 203414},
    {"MakeBtZoom", 204101}, {"TorvaDisp", 204102}, {"AllDisp", 204103}, {"AllDispOff", 204104},
    {"Display", 204105}, {"TagOn", 204106}, {"TagOff", 204107}, {"Tag", 204108}, {"MatrixOn", 204109},
    {"MatrixOff", 204110}, {"Matrix", 204111}, {"FrameLineOn", 204112}, {"FrameLineOff", 204113},
    {"FrameLine", 204114}, {"MenuBarOn", 204115}, {"MenuBarOff", 204116}, {"MenuBar", 204117},
    {"ToolBarOn", 204118}, {"ToolBarOff", 204119}, {"ToolBar", 204120}, {"FormulaBarOn", 204121},
    {"FormulaBarOff", 204122}, {"FormulaBar", 204123}, {"StatusBarOn", 204124}, {"StatusBarOff", 204125},
    {"StatusBar", 204126}, {"HScrBarOn", 204127}, {"HScrBarOff", 204128}, {"HScrBar", 204129},
    {"VScrBarOn", 204130}, {"VScrBarOff", 204131}, {"VScrBar", 204132}, {"MaximizeOn", 204133},
    {"MaximizeOff", 204134}, {"Maximize", 204135}, {"LinkMsgOn", 204136}, {"LinkMsgOff", 204137},
    {"MaxWindowOn", 204138}, {"MaxWindowOff", 204139}, {"MaxWindow", 204140}, {"MinWindowOn", 204141},
    {"PageUp", 204142}, {"PageDown", 204143}, {"PageLeft", 204144}, {"PageRight", 204145}, {"PageTop", 204146},
    {"BtSetValue", 205099},
    {"SendMail", 205301}, {"BtMail", 205302}, {"BtPasteDialogFile", 205303},
    {"MakeBtBookNew", 205305},
    {"ActCellCut", 205401}, {"ActCellCopy", 205402}, {"ActCellPaste", 205403},
    {"DDialogJump", 205501},
};
constexpr HelpRow kTorvaF[] = {
    {"F_index", 500001},
};
constexpr HelpRow kTorva2[] = {
    {"Index_07", 700001},
    {"Setup_Office", 701001}, {"Setup_Application", 701002}, {"Setup_Other", 701003},
};
constexpr HelpRow kTorvaT[] = {
    {"Button_Index", 600001},
    {"System_Index", 650001},
};
constexpr HelpRow kTorvaG[] = {
    {"GUID_Index", 900001},
};

struct HelpGroup {
    const char* name;
    const HelpRow* rows;
    int count;
};

template <size_t N>
constexpr HelpGroup Group(const char* name, const HelpRow (&rows)[N]) {
    static_assert(N <= HelpKeywordTable::kCapacity);
    return {name, rows, static_cast<int>(N)};
}

// Tried in this order; the first whole-name match wins. "Torva2" and "TorvaA" share one table.
constexpr HelpGroup kGroups[] = {
    Group("TorvaQ", kTorvaQ), Group("Torva", kTorva),   Group("TorvaF", kTorvaF), Group("Torva2", kTorva2),
    Group("TorvaA", kTorva2), Group("TorvaT", kTorvaT), Group("TorvaG", kTorvaG),
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int32_t HelpTextToInt(std::string_view s) {
    const size_t n = s.size();
    size_t i = 0;
    while (i < n && s[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';

    uint32_t base = 10;
    if (i < n && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == n) return 0;

    // Hexadecimal spells the bit pattern, so all 32 bits are allowed; decimal stops at the
    // signed range, whose negative end is one larger.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFu : negative ? 0x80000000u : 0x7FFFFFFFu;
    uint64_t value = 0;
    for (; i < n; ++i) {
        const int d = HexDigit(s[i]);
        if (d < 0 || static_cast<uint32_t>(d) >= base) return 0;
        value = value * base + static_cast<uint32_t>(d);
        if (value > limit) return 0;
    }
    uint32_t bits = static_cast<uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<int32_t>(bits);  // modular since C++20
}

void FillHelpKeywordTable(const std::string& group, const std::string& keyword, HelpKeywordTable& table) {
    for (const HelpGroup& g : kGroups) {
        if (!SameTextAscii(group, g.name)) continue;
        for (int i = 0; i < g.count; ++i) {
            table.keywords[i] = g.rows[i].keyword;
            table.contexts[i] = g.rows[i].context;
        }
        table.count = g.count;
        return;
    }
    table.keywords[0] = keyword;
    table.contexts[0] = HelpTextToInt(keyword);
    table.count = 1;
}

int32_t HelpContextOf(const std::string& keyword, const std::string& group) {
    HelpKeywordTable table;
    FillHelpKeywordTable(group, keyword, table);
    for (int i = 0; i < table.count; ++i) {
        // The length test first keeps the case-folding copies to the few rows that could match.
        if (table.keywords[i].size() == keyword.size() && SameTextAscii(std::string(table.keywords[i]), keyword))
            return table.contexts[i];
    }
    return 0;
}

std::string ManagerHelpFilePath(const std::string& helpFolder) {
    return AddTrailingBackslash(helpFolder) + "TORVA.chm";
}
