#include "edition/EditionRules.h"

#include "environment/StrUtils.h"

int ClampedVersion(int servedVersion) { return servedVersion <= 7 ? 5 : servedVersion; }

std::string EditionForServedVersion(int servedVersion) {
    switch (servedVersion) {
        case 0: return "EA";
        case 8: return "EB";
        case 9: return "EC";
        case 10: return "ED";
        default: return "";
    }
}

std::string GetTorvaType(int excelVersion) {
    switch (excelVersion) {
        case 5: return "EA";
        case 8: return "EB";
        case 9: return "EC";
        case 10: return "ED";
        default: return "";
    }
}

int ExcelVersionOfEdition(const std::string& code) {
    if (code == "EA") return 5;
    if (code == "EB") return 8;
    if (code == "EC") return 9;
    return 0;
}

std::string ProductLabel(const std::string& code) { return "Torva" + code; }

int ServedVersionOfFileName(const std::string& fileName) {
    // VersionToInt reads only the text before the first period, which drops the extension.
    return VersionToInt(fileName);
}

std::string ExecutableFileName(const std::string& modulePath, const std::string& longName) {
    return longName.empty() ? ExtractFileName(modulePath) : longName;
}
