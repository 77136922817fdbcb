// The decisions behind the settings files, the Explorer association and the add-in switch
// that need no operating system.
#include <string>

#include "environment/StrUtils.h"
#include "excel/ExcelFacts.h"
#include "manager/Addin.h"
#include "manager/Association.h"
#include "manager/Settings.h"

std::string SettingsFileNameFor(int servedVersion) {
    if (servedVersion <= 7) return "Torva.Ini";
    if (servedVersion >= 10) servedVersion = 9;
    return "Torva" + std::to_string(servedVersion) + ".Ini";
}

std::string GetSheetClassName(int version) { return excel::SheetClass(version <= 7 ? 5 : 8); }

bool IsAssociatedCommand(const std::string& command) { return UpperAscii(command).find("[RUN") != std::string::npos; }

bool SameFileIdentity(const FileIdentity& a, const FileIdentity& b, const std::string& fullPathA,
                      const std::string& fullPathB) {
    if (a.volume != b.volume) return false;
    if ((a.indexHigh | a.indexLow | b.indexHigh | b.indexLow) != 0)
        return a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
    return fullPathA.empty() || fullPathB.empty() || SameTextAscii(fullPathA, fullPathB);
}
