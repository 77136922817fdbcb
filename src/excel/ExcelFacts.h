// Everything this program relies on of Microsoft Excel, in one place.
#pragma once
#include <string>

namespace excel {

inline constexpr const char* kWindowClass = "XLMAIN";
inline constexpr const char* kProgId = "Excel.Application";
// "Excel.Application" for 0, else "Excel.Application.<version>".
std::string ProgIdFor(int version);
// The running test asks 12 and later under ".8".
std::string RunningTestProgIdFor(int version);

// Automation members, invoked late-bound by name.
inline constexpr const wchar_t* kWorkBooks = L"WorkBooks";
inline constexpr const wchar_t* kWorkbooks = L"Workbooks";
inline constexpr const wchar_t* kClose = L"Close";
inline constexpr const wchar_t* kCount = L"count";
inline constexpr const wchar_t* kSaved = L"Saved";
inline constexpr const wchar_t* kQuit = L"Quit";

// The product's workbooks.
inline constexpr const char* kCommonAddin = "基盤関数.XLA";
inline constexpr const char* kProductWorkbook = "Torva.xla";

// Registry places.
// HKCR "Excel.Sheet.<v>" subkey "Shell\New\command": the New command naming excel.exe.
inline constexpr const char* kSheetClassPrefix = "Excel.Sheet.";
inline constexpr const char* kNewCommandSubKey = "Shell\\New\\command";
// The program's name as the New command spells it once lower-cased.
inline constexpr const char* kExeNameLower = "excel.exe";
// HKLM "SOFTWARE" subkey ...App Paths\EXCEL.EXE.
inline constexpr const char* kMachineSoftwareKey = "SOFTWARE";
inline constexpr const char* kAppPathsSubKey = "Microsoft\\Windows\\CurrentVersion\\App Paths\\EXCEL.EXE";
// Office 9.0 (2000) to 16.0 (2016 to Microsoft 365): each has its own start-up folder.
inline constexpr int kFirstOffice = 9;
inline constexpr int kLastOffice = 16;
// HKLM "SOFTWARE\Microsoft\Office\<v>.0\Excel\InstallRoot", value "Path".
std::string InstallRootKey(int officeVersion);
inline constexpr const char* kInstallRootValue = "Path";
// Workbook classes: "Excel.Sheet.<version>", and the class of comma-separated files.
std::string SheetClass(int version);
inline constexpr const char* kCsv = "Excel.CSV";
// Excel 12 and later: when ProgIdFor any of them is registered, SheetClass(kExcel12), the class they
// all open workbooks of the new format under, is associated too.
inline constexpr int kExcel12 = 12;
inline constexpr int kNewFormatExcels[] = {12, 14, 15, 16};
// Under a workbook class: the key whose default value is Explorer's DDE command,
// and below it the key naming the DDE application.
inline constexpr const char* kDdeExecSubKey = "Shell\\Open\\ddeexec";
inline constexpr const char* kDdeApplicationName = "Application";
std::string DdeApplicationSubKey();  // "Shell\Open\ddeexec\Application"

// Explorer's DDE commands.
inline constexpr const char* kAssociatedCommand = "[Run(\"PushMsg\")][MESSAGE(TRUE,\"%1\")][Run(\"InitTorva\")]";
inline constexpr const char* kPlainOpenCommand = "[open(\"%1\")]";

// Start-up folders.
inline constexpr const char* kXlStart = "XLSTART";                       // under Excel's folder, up to 8
inline constexpr const char* kUserXlStart = "Microsoft\\Excel\\xlstart";  // under the application-data folder
inline constexpr const char* kOfficeXlStart = "xlstart\\";                // under InstallRoot Path

}  // namespace excel
