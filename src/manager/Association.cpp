#include "manager/Association.h"

#include <windows.h>

#include "environment/OsVersion.h"
#include "environment/Registry.h"
#include "excel/ExcelFacts.h"

namespace {

// The user's own classes on the NT family: HKEY_CURRENT_USER\Software\Classes.
constexpr const char* kUserSoftware = "Software";
constexpr const char* kClassesFolder = "Classes\\";

struct ClassesPlace {
    HKEY root;
    std::string prefix;
};

// The Windows 9x family and NT 4.0 have only the machine's classes; later Windows write the user's own.
ClassesPlace WritablePlace() {
    if (!HasUserClasses()) return {HKEY_CLASSES_ROOT, std::string()};
    return {HKEY_CURRENT_USER, std::string(kUserSoftware) + "\\" + kClassesFolder};
}

std::string DdeExecKey(const std::string& sheetClass) { return sheetClass + "\\" + excel::kDdeExecSubKey; }

// Read the way that needs full access, then the plain way: every read, always.
bool NewFormatExcelRegistered() {
    bool any = false;
    for (int version : excel::kNewFormatExcels) {
        const std::string progId = excel::ProgIdFor(version);
        any |= !RegReadString(HKEY_CLASSES_ROOT, progId, "").empty();
        any |= !RegReadDefault(HKEY_CLASSES_ROOT, progId, "").empty();
    }
    return any;
}

}  // namespace

bool WriteExplorerCommand(int version, int mode) {
    try {
        const ClassesPlace place = WritablePlace();
        const std::string command = mode == 1 ? excel::kAssociatedCommand : excel::kPlainOpenCommand;
        // Every class is tried: one left behind would keep calling macros that are withdrawn.
        bool all = RegWriteString(place.root, place.prefix + DdeExecKey(GetSheetClassName(version)), "", command);
        if (NewFormatExcelRegistered())
            all &= RegWriteString(place.root, place.prefix + DdeExecKey(excel::SheetClass(excel::kExcel12)), "", command);
        all &= RegWriteString(place.root, place.prefix + DdeExecKey(excel::kCsv), "", command);
        return all;
    } catch (...) {
        return false;
    }
}

bool CheckExplorerAssociation(int version) {
    try {
        // The merged view: on the NT family the user's classes override the machine's there.
        const std::string sheetClass = GetSheetClassName(version);
        std::string value = RegReadString(HKEY_CLASSES_ROOT, DdeExecKey(sheetClass), "");
        if (value.empty()) value = RegReadDefault(HKEY_CLASSES_ROOT, sheetClass, excel::kDdeExecSubKey);
        return IsAssociatedCommand(value);
    } catch (...) {
        return false;
    }
}

bool CheckWriteUserAssociation(int version) {
    try {
        const ClassesPlace place = WritablePlace();
        const std::string sheetClass = GetSheetClassName(version);
        const std::string appKey = sheetClass + "\\" + excel::DdeApplicationSubKey();
        const std::string probed = place.prefix + appKey;
        // A key of the user's classes hides the machine's key of the same name, values and all: an
        // empty one would blank Excel's open command for this user. So the probe notes what it may
        // create or rewrite and puts it back afterwards.
        const std::vector<std::string> created = RegMissingKeys(place.root, probed);
        const RegStoredValue found = RegReadStored(place.root, probed, "");
        std::string value = RegReadString(place.root, probed, "");
        if (value.empty()) {
            // The same place once more, the plain way; the machine's classes are not asked on the NT family.
            if (place.root == HKEY_CLASSES_ROOT)
                value = RegReadDefault(HKEY_CLASSES_ROOT, sheetClass, excel::DdeApplicationSubKey());
            else
                value = RegReadDefault(HKEY_CURRENT_USER, kUserSoftware, kClassesFolder + appKey);
        }
        const bool written = RegWriteString(place.root, probed, "", value);
        if (!created.empty())
            RegDeleteEmptyKeys(place.root, created);
        else if (written)
            RegRestoreStored(place.root, probed, "", found);
        return written;
    } catch (...) {
        return false;
    }
}
