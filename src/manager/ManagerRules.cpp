// The decisions behind the settings files, the Explorer association and the add-in switch
// that need no operating system.
#include <algorithm>
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
    if (report.commandFailed) text += "エクスプローラの関連づけをレジストリに書き込むことができませんでした。\r\r";
    if (text.empty() || !placing) return text;
    return "エクスプローラとの関連づけはできませんでした。\r\r" + text;
}

OfficeCopyPlan PlanOfficeCopies(int mode, const std::vector<StartupFolderAccess>& folders, bool userFolder) {
    using enum StartupFolderAccess;
    auto any = [&](StartupFolderAccess a) { return std::find(folders.begin(), folders.end(), a) != folders.end(); };
    OfficeCopyPlan plan;
    plan.folders.assign(folders.size(), CopyAction::None);
    if (mode != 1) {
        // Withdrawing: what this user could not put back stays, for the other users relying on it.
        for (size_t i = 0; i < folders.size(); ++i)
            if (folders[i] == Takes) plan.folders[i] = CopyAction::Remove;
        plan.userCopy = CopyAction::Remove;
        plan.feasible = true;
        return plan;
    }
    if (!any(Refuses)) {
        for (size_t i = 0; i < folders.size(); ++i)
            plan.folders[i] = folders[i] == Takes ? CopyAction::Place : CopyAction::Refresh;
        plan.userCopy = CopyAction::Remove;
        plan.feasible = true;
        return plan;
    }
    // A copy of the user's own beside an administrator's would give that Excel two.
    if (any(Holds) || !userFolder) return plan;
    for (size_t i = 0; i < folders.size(); ++i)
        if (folders[i] == Takes) plan.folders[i] = CopyAction::Remove;
    plan.userCopy = CopyAction::Place;
    plan.feasible = true;
    return plan;
}

bool SameFileIdentity(const FileIdentity& a, const FileIdentity& b, const std::function<bool()>& openedBoth) {
    if (a.volume != b.volume) return false;
    if ((a.indexHigh | a.indexLow | b.indexHigh | b.indexLow) != 0)
        return a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
    return !openedBoth();
}
