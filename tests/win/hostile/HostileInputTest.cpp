// The program itself against hostile settings files, registry values, files and
// command lines: the rules' behaviour or a clear message, never a crash, a hang,
// a lost workbook, or a success reported for a failed switch.
#include <gtest/gtest.h>

#include <functional>

#include "excel/ExcelFacts.h"
#include "support/ExcelStandIn.h"
#include "support/ManagerSupport.h"
#include "support/RobustSupport.h"

using ts::Installation;

namespace {

const std::string kSystemError = "システムエラー";
const std::string kRemoveFailed = "Torvaのアドイン解除することができませんでした。";
const std::string kRegisterFailed = "Torvaをアドイン登録することができませんでした。";

// What a run of "TorvaMan.exe <args>" is expected to leave.
struct Expect {
    bool probeRan;         // the waited-for program ran, with the add-in removed
    bool registeredAtEnd;  // the installed copy holds the workbook at the end
    std::string box;       // a part of the one message box expected, or empty for none
};

class Hostile : public ::testing::Test {
protected:
    Hostile() : program_(dir_ / "TorvaMan.exe"), probe_(dir_ / "Probe.exe"), log_(dir_ / "probe.log") {
        CopyFileA(ts::ProgramPath().c_str(), program_.c_str(), FALSE);
        CopyFileA(ts::FixturePath("Probe").c_str(), probe_.c_str(), FALSE);
    }

    ts::RunResult Run(const std::string& args, const Installation& inst) {
        DeleteFileA(log_.c_str());
        ts::Child child;
        const std::vector<std::string> env{"TORVA_PROBE_LOG=" + log_, "TORVA_PROBE_CHECK=" + inst.Installed()};
        const bool started = child.Start(ts::Quoted(program_) + " " + args, env);
        EXPECT_TRUE(started) << "error " << GetLastError();
        return ts::RunToEnd(child, 60000);
    }

    // Runs and checks the outcome against Expect; Case names the table row.
    void RunExpecting(const std::string& args, const Installation& inst, const Expect& e, const std::string& what) {
        SCOPED_TRACE(what);
        const ts::RunResult r = Run(args, inst);
        EXPECT_EQ(0, r.code);  // ended by itself, in time
        if (e.box.empty()) {
            EXPECT_TRUE(r.boxes.empty()) << (r.boxes.empty() ? "" : r.boxes[0]);
        } else {
            ASSERT_EQ(1u, r.boxes.size());
            EXPECT_NE(std::string::npos, r.boxes[0].find(e.box)) << r.boxes[0];
        }
        // A final program (after the run) sees the add-in on; only a waited-for one sees it off.
        const auto removed = ts::LinesStartingWith(log_, "check " + inst.Installed() + " missing");
        EXPECT_EQ(e.probeRan ? 1u : 0u, removed.size());
        EXPECT_EQ(e.registeredAtEnd, ts::ReadFileBytes(inst.Installed()) == Installation::AddinBytes());
        EXPECT_TRUE(ts::AddinSurvives(inst));
    }

    ts::TempDir dir_;
    std::string program_, probe_, log_;
};

std::string ValidSettings(const Installation& inst) {
    return "[Product]\r\nDisplay=Torva テスト版\r\n[NewEnv]\r\nExcelDir=" + inst.ExcelFolder() +
           "\r\n[GenDir]\r\nDir=" + inst.ProductFolder() + "\r\n";
}

std::string Garbage(size_t n, unsigned long long seed) {
    ts::Prng rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng.Next() & 0xFF);
    return s;
}

const Expect kSwitched{true, true, ""};
const Expect kUntouched{false, true, ""};  // undeterminable: silent, nothing changes

}  // namespace

TEST_F(Hostile, SettingsFiles) {
    struct Case {
        const char* name;
        std::function<std::string(const Installation&)> text;
        Expect expect;
    };
    const std::string megabyte(1 << 20, 'x');
    const std::vector<Case> cases = {
        {"binary garbage only", [](const Installation&) { return Garbage(4096, 7); }, kUntouched},
        {"garbage lines before the sections",
         [](const Installation& i) {
             std::string g = Garbage(2048, 11);
             for (char& c : g)
                 if (c == '[' || c == '\0' || c == '\n' || c == '\r') c = 'g';
             return g + "\r\n" + ValidSettings(i);
         },
         kSwitched},
        {"one line of a megabyte", [&](const Installation&) { return megabyte; }, kUntouched},
        {"a value of a megabyte before the others",
         [&](const Installation& i) { return "[Product]\r\nDisplay=" + megabyte + "\r\n" + ValidSettings(i); },
         kSwitched},
        {"no final line break",
         [](const Installation& i) {
             std::string s = ValidSettings(i);
             return s.substr(0, s.size() - 2);
         },
         kSwitched},
        // Read as UTF-8 after the mark, the Shift-JIS folder names no folder: the removal says so.
        {"UTF-8 byte-order mark", [](const Installation& i) { return "\xEF\xBB\xBF" + ValidSettings(i); },
         {false, true, kRemoveFailed}},
        {"duplicate sections and keys: the first one counts",
         [](const Installation& i) {
             return ValidSettings(i) + "[GenDir]\r\nDir=" + i.ProductFolder() + "absent\\\r\nDir=C:\\\r\n" +
                    "[NewEnv]\r\nExcelDir=" + i.ProductFolder() + "\r\n";
         },
         kSwitched},
    };
    for (const Case& c : cases) {
        Installation inst(Installation::Options().Registered());
        ASSERT_TRUE(ts::WriteSettingsFile(inst.SettingsPath(), c.text(inst)));
        RunExpecting(ts::Quoted(probe_), inst, c.expect, c.name);
    }
}

TEST_F(Hostile, LongValuesAreCutAtTheBufferNeverBeyond) {
    // The product folder is read into 255 bytes: a longer value is cut and names no folder,
    // so the removal cannot place the workbook there and says so; the installed copy stays.
    for (size_t length : {254u, 255u, 300u}) {
        Installation inst(Installation::Options().Registered());
        std::string dir = inst.ProductFolder();
        while (dir.size() < length) dir += "a";
        ASSERT_TRUE(ts::WriteSettingsFile(inst.SettingsPath(), "[NewEnv]\r\nExcelDir=" + inst.ExcelFolder() +
                                                                   "\r\n[GenDir]\r\nDir=" + dir + "\r\n"));
        RunExpecting(ts::Quoted(probe_), inst, {false, true, kRemoveFailed}, "Dir of " + std::to_string(length));
    }
}

TEST_F(Hostile, RegistryValuesOfTheWrongTypeOrTooLong) {
    // Without ExcelDir the Excel folder comes from the New command of the workbook class,
    // then from App Paths; a value that cannot be read leaves no start-up folder.
    ts::ScopedRegKey appPaths(HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\") + excel::kAppPathsSubKey);
    const std::string newKey = "Excel.Sheet.5\\Shell\\New\\command";
    struct Case {
        const char* name;
        DWORD type;
        std::function<std::string(const Installation&)> bytes;
        Expect expect;
    };
    const std::vector<Case> cases = {
        {"a readable command", REG_SZ,
         [](const Installation& i) { return ts::Quoted(i.ExcelFolder() + "EXCEL.EXE") + " /e"; }, kSwitched},
        {"REG_DWORD", REG_DWORD, [](const Installation&) { return std::string("\x01\x02\x03\x04", 4); }, kUntouched},
        {"REG_BINARY", REG_BINARY, [](const Installation&) { return Garbage(300, 3); }, kUntouched},
        {"longer than the buffer", REG_SZ,
         [](const Installation& i) { return i.ExcelFolder() + "EXCEL.EXE " + std::string(700, 'p') + '\0'; },
         kUntouched},
    };
    for (const Case& c : cases) {
        Installation inst(Installation::Options().Registered());
        ASSERT_TRUE(ts::WriteSettingsFile(inst.SettingsPath(), "[GenDir]\r\nDir=" + inst.ProductFolder() + "\r\n"));
        ts::RegDeleteTree(HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\") + excel::kAppPathsSubKey);
        ASSERT_TRUE(ts::RegSetBinary(HKEY_CLASSES_ROOT, newKey, "", c.bytes(inst), c.type));
        RunExpecting(ts::Quoted(probe_), inst, c.expect, std::string("New command: ") + c.name);
        if (c.type != REG_SZ) {  // the same value in App Paths
            ts::RegDeleteTree(HKEY_CLASSES_ROOT, newKey);
            ASSERT_TRUE(ts::RegSetBinary(HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\") + excel::kAppPathsSubKey, "",
                                         c.bytes(inst), c.type));
            RunExpecting(ts::Quoted(probe_), inst, c.expect, std::string("App Paths: ") + c.name);
        }
    }
}

TEST_F(Hostile, InstallRootPathsOfTheWrongTypeOrTooLong) {
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"REG_DWORD", REG_DWORD, std::string("\x43\x3A\x5C\x00", 4)},
        {"REG_BINARY", REG_BINARY, Garbage(600, 5)},
        {"a path of 600 bytes", REG_SZ, "C:\\" + std::string(600, 'r') + '\0'},
        {"no terminating zero", REG_SZ, std::string(520, 'z')},
    };
    for (const Case& c : cases) {
        Installation inst(Installation::Options().Registered());
        const std::string good = inst.AddOffice(11);  // the Office copy still follows the switch
        ASSERT_TRUE(ts::RegSetBinary(HKEY_LOCAL_MACHINE, excel::InstallRootKey(12), excel::kInstallRootValue, c.bytes,
                                     c.type));
        RunExpecting(ts::Quoted(probe_), inst, kSwitched, c.name);
        EXPECT_EQ("TORVA.XLA BYTES", ts::ReadFileBytes(good + excel::kProductWorkbook)) << c.name;
    }
}

TEST_F(Hostile, FilesAndFolders) {
    {
        Installation inst(Installation::Options().WithoutXlStart());
        const std::string startupAsFile = inst.XlStartFolder().substr(0, inst.XlStartFolder().size() - 1);
        ASSERT_TRUE(ts::WriteFileBytes(startupAsFile, "not a folder"));
        RunExpecting(ts::Quoted(probe_) + " /EXE=" + probe_, inst, {true, false, kRegisterFailed},
                     "a start-up folder that is a file");
        EXPECT_EQ("not a folder", ts::ReadFileBytes(startupAsFile));
        EXPECT_EQ(Installation::AddinBytes(), ts::ReadFileBytes(inst.Parked()));
        EXPECT_TRUE(ts::LinesStartingWith(log_, "start ").size() == 1);  // the final program never started
    }
    {
        Installation inst(Installation::Options().Registered());
        SetFileAttributesA(inst.Installed().c_str(),
                           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        RunExpecting(ts::Quoted(probe_), inst, kSwitched, "a read-only installed copy");
    }
    {
        Installation inst(Installation::Options().Registered());
        ts::RegSet(HKEY_CURRENT_USER, "Software\\Classes\\Excel.Sheet.5\\Shell\\Open\\ddeexec", "", "mine");
        // Held open by another process (this one) without sharing.
        UniqueHandle lock(
            CreateFileA(inst.Installed().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        RunExpecting(ts::Quoted(probe_) + " /EXE=" + probe_, inst, {false, false, kRemoveFailed},
                     "an installed copy held open");
        lock.reset();
        EXPECT_EQ(Installation::AddinBytes(), ts::ReadFileBytes(inst.Installed()));
        EXPECT_EQ(Installation::AddinBytes(), ts::ReadFileBytes(inst.Parked()));
        EXPECT_EQ("mine", Installation::DdeCommand("Excel.Sheet.5"));
        EXPECT_TRUE(ts::LinesStartingWith(log_, "start ").empty());
    }
    {
        Installation inst(Installation::Options().Registered());
        ts::RemoveTree(inst.ProductFolder());
        RunExpecting(ts::Quoted(probe_), inst, {false, true, kRemoveFailed}, "a product folder that is missing");
    }
    {
        Installation inst;  // removed, and the product folder missing: nothing to switch
        ts::RemoveTree(inst.ProductFolder());
        const ts::RunResult r = Run(ts::Quoted(probe_), inst);
        EXPECT_EQ(0, r.code);
        EXPECT_TRUE(r.boxes.empty());  // undeterminable: silent
        EXPECT_FALSE(ts::FileExists(inst.Installed()));
        EXPECT_TRUE(ts::LinesStartingWith(log_, "start ").empty());
    }
    {
        Installation inst(Installation::Options().Registered());
        DeleteFileA(inst.Parked().c_str());
        DeleteFileA((inst.ProductFolder() + excel::kProductWorkbook).c_str());
        // Removing moves the only copy into the empty product folder; registering copies it back.
        RunExpecting(ts::Quoted(probe_), inst, kSwitched, "an empty product folder");
        EXPECT_EQ(Installation::AddinBytes(), ts::ReadFileBytes(inst.Parked()));
    }
}

TEST_F(Hostile, CommandLines) {
    // A copy of the probe in a folder whose name ends in a trail byte 0x5C ("ソ").
    const std::string sjisDir = dir_ / "\x83\x5C\x95\x5C\\";
    ASSERT_TRUE(CreateDirectoryA(sjisDir.c_str(), nullptr));
    const std::string sjisProbe = sjisDir + "\x83\x5C.exe";
    ASSERT_TRUE(CopyFileA(probe_.c_str(), sjisProbe.c_str(), FALSE));
    std::string thousand;
    for (int i = 0; i < 999; ++i) thousand.append("a").append(std::to_string(i)).append(" ");
    const std::string notFound = "指定のファイルがみつかりません。", badPath = "指定のパスは無効です。";
    // A waited-for program that cannot start is passed over silently; a final one is reported.
    const Expect quietlyPassedOver{false, true, ""};
    struct Case {
        const char* name;
        std::string args;
        Expect expect;
    };
    const std::vector<Case> cases = {
        {"an unclosed quote", "\"" + probe_, kSwitched},
        {"a lone quote after the program: an empty last argument", ts::Quoted(probe_) + " \"", quietlyPassedOver},
        {"quotes inside an argument", "\"" + dir_.path() + "\"Probe.exe", kSwitched},
        {"1,000 arguments, the last plain one counts", thousand + ts::Quoted(probe_), kSwitched},
        {"1,000 arguments with slashes", ts::Quoted(probe_) + " " + [] {
             std::string s;
             for (int i = 0; i < 999; ++i) s.append("/x").append(std::to_string(i)).append(" ");
             return s;
         }(), kSwitched},
        {"an argument of 30,000 bytes", std::string(30000, 'b'), quietlyPassedOver},
        {"/EXE= with 30,000 bytes", "/EXE=" + std::string(30000, 'c'), {false, true, badPath}},
        {"/CW= with 30,000 bytes", "/CW=" + std::string(30000, 'd') + " /EXE=" + probe_, {false, true, ""}},
        {"a program under a Shift-JIS name", ts::Quoted(sjisProbe), kSwitched},
        {"a lead byte ending the command line", "/EXE=" + probe_ + " \x83", {false, true, ""}},
        {"a lead byte before the closing quote", "\"\x83\"", quietlyPassedOver},
        {"Shift-JIS in every field of /CW", "/CW=\x83\x5C,\x95\x5C\x83,\x83 /EXE=" + sjisProbe, {false, true, ""}},
        {"Shift-JIS after /EXE=", "/EXE=\x83\x5C\x83\x5C", {false, true, notFound}},
        {"a trail byte 0x5C before a quote", ts::Quoted(sjisDir) + "\x83\x5C.exe", kSwitched},
    };
    for (const Case& c : cases) {
        Installation inst(Installation::Options().Registered());
        RunExpecting(c.args, inst, c.expect, c.name);
    }
}

TEST_F(Hostile, TheWindowOpensOverAGarbageSettingsFile) {
    Installation inst(Installation::Options().Registered());
    ASSERT_TRUE(ts::WriteSettingsFile(inst.SettingsPath(), Garbage(8192, 13)));
    ts::ManagerProcess manager;
    ASSERT_TRUE(manager.Start());
    const ts::MessageBoxInfo box = ts::WaitForMessageBox(manager.Pid(), 500);
    if (box.hwnd) ts::ClickButton(box.hwnd);  // a message about the settings is fine, a crash is not
    EXPECT_TRUE(manager.Process().Running());
    EXPECT_EQ(0, manager.Close());
    EXPECT_TRUE(ts::AddinSurvives(inst));
    EXPECT_TRUE(inst.Registered());
}
