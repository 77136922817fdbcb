#include "excel/ExcelFacts.h"

namespace excel {

std::string ProgIdFor(int version) {
    return version == 0 ? std::string(kProgId) : std::string(kProgId) + "." + std::to_string(version);
}

std::string RunningTestProgIdFor(int version) { return ProgIdFor(version >= 12 ? 8 : version); }

std::string InstallRootKey(int officeVersion) {
    return std::string(kMachineSoftwareKey) + "\\Microsoft\\Office\\" + std::to_string(officeVersion) + ".0\\Excel\\InstallRoot";
}

std::string SheetClass(int version) { return kSheetClassPrefix + std::to_string(version); }

std::string DdeApplicationSubKey() { return std::string(kDdeExecSubKey) + "\\" + kDdeApplicationName; }

}  // namespace excel
