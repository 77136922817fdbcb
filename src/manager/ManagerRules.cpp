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

std::string OfficeSwitchMessage(const OfficeSwitchReport& report, int mode) {
    const bool placing = mode == 1;
    auto listed = [](const char* heading, const std::vector<std::string>& folders) {
        std::string text = heading;
        for (const std::string& folder : folders) text += "\r" + folder;
        return text + "\r\r";
    };
    std::string text;
    if (!report.missingSource.empty()) text += "製品フォルダにTorva.xlaがありません。\r" + report.missingSource + "\r\r";
    if (!report.refused.empty())
        text += listed(placing ? "次のフォルダにTorva.xlaを置くには管理者の権限が必要です。"
                               : "次のフォルダのTorva.xlaを削除するには管理者の権限が必要です。",
                       report.refused) +
                "Torvaマネージャを管理者として実行してください。\r\r";
    if (!report.failed.empty())
        text += listed(placing ? "次のフォルダにTorva.xlaを置くことができませんでした。"
                               : "次のフォルダのTorva.xlaを削除することができませんでした。",
                       report.failed);
    if (text.empty() || !placing) return text;
    return "エクスプローラとの関連づけはできませんでした。\r\r" + text;
}

bool SameFileIdentity(const FileIdentity& a, const FileIdentity& b, const std::function<bool()>& openedBoth) {
    if (a.volume != b.volume) return false;
    if ((a.indexHigh | a.indexLow | b.indexHigh | b.indexLow) != 0)
        return a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
    return !openedBoth();
}
