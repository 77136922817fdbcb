// Random sequences of switches, in this process and through the program's command
// line, with faults between and during the steps. After every step a copy of the
// common add-in workbook must exist, and a reported success must be true on disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "excel/ExcelFacts.h"
#include "manager/Addin.h"
#include "support/ManagerSupport.h"
#include "support/RobustSupport.h"

using ts::Installation;

namespace {

// Seeds that once failed; they run first, every time.
const unsigned long long kRegressionSeeds[] = {0};

unsigned long long EnvNumber(const char* name, unsigned long long fallback) {
    char buf[32];
    const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return fallback;
    return std::strtoull(buf, nullptr, 10);
}

struct Totals {
    int sequences = 0, steps = 0, commandLines = 0, faults = 0, failuresReported = 0;
};

class Sequence {
public:
    Sequence(const std::string& program, const std::string& probe, unsigned long long seed)
        : program_(program), probe_(probe), rng_(seed), inst_(Options(rng_)) {}

    // Runs Steps steps, stopping at the first broken promise.
    void Run(int steps, Totals& totals) {
        ts::MessageBoxRecorder boxes;
        for (int step = 0; step < steps && !::testing::Test::HasFailure(); ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            RunStep(boxes, totals);
            ++totals.steps;
        }
    }

private:
    static Installation::Options Options(ts::Prng& rng) {
        Installation::Options o;
        o.registered = rng.OneIn(2);
        return o;
    }
    std::string Bytes(const std::string& path) const { return ts::ReadFileBytes(path); }
    bool HasAddin(const std::string& path) const { return Bytes(path) == Installation::AddinBytes(); }

    void RunStep(ts::MessageBoxRecorder& boxes, Totals& totals) {
        // Faults that stay until undone.
        const std::string startup = inst_.XlStartFolder();
        switch (rng_.Below(8)) {
            case 0:
                if (ts::FileExists(inst_.Installed())) {
                    SetFileAttributesA(inst_.Installed().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
                    Note("installed copy read-only", totals);
                }
                break;
            case 1:
                if (HasAddin(inst_.Parked())) {  // by hand, with the copy in it
                    ts::RemoveTree(startup);
                    Note("start-up folder removed", totals);
                }
                break;
            case 2:
                if (HasAddin(inst_.Installed())) {
                    SetFileAttributesA(inst_.Parked().c_str(), 0);
                    DeleteFileA(inst_.Parked().c_str());
                    Note("parked copy removed", totals);
                }
                break;
            case 3:
                CreateDirectoryA(startup.c_str(), nullptr);
                break;
            default: break;
        }
        const std::string installedBefore = Bytes(inst_.Installed()), parkedBefore = Bytes(inst_.Parked());
        const bool installedExisted = ts::FileExists(inst_.Installed());
        // Faults held during the step.
        if (rng_.OneIn(6)) {
            lockedInstalled_.reset(
                CreateFileA(inst_.Installed().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            if (lockedInstalled_) Note("installed copy held open", totals);
        }
        if (rng_.OneIn(8)) {
            lockedSettings_.reset(
                CreateFileA(inst_.SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            if (lockedSettings_) Note("settings file unreadable", totals);
        }

        const int action = rng_.Below(12);
        if (action < 2) {
            RunCommandLine(action == 0, lockedSettings_.get() != nullptr, installedBefore, parkedBefore, totals);
        } else {
            const std::string letter = action % 2 ? "S" : "E";
            trace_ += " " + letter;
            const size_t shown = boxes.calls().size();
            const bool ok = SwitchAddin(letter);
            ReleaseLocks();  // the files are read back below
            trace_ += ok ? "+" : "-";
            if (ok && letter == "S") {
                EXPECT_TRUE(HasAddin(inst_.Installed())) << trace_;
            }
            if (ok && letter == "E") {
                EXPECT_FALSE(ts::FileExists(inst_.Installed())) << trace_;
            }
            if (!ok) ++totals.failuresReported;
            if (!ok && boxes.calls().size() == shown) {  // undeterminable: silent and untouched
                EXPECT_EQ(installedBefore, Bytes(inst_.Installed())) << trace_;
                EXPECT_EQ(parkedBefore, Bytes(inst_.Parked())) << trace_;
                EXPECT_EQ(installedExisted, ts::FileExists(inst_.Installed())) << trace_;
            }
        }
        ReleaseLocks();
        EXPECT_TRUE(ts::AddinSurvives(inst_)) << trace_;
    }

    void RunCommandLine(bool plain, bool settingsLocked, const std::string& installedBefore,
                        const std::string& parkedBefore, Totals& totals) {
        trace_ += plain ? " cmd" : " cmd/EXE";
        ++totals.commandLines;
        ts::Child child;
        const std::string args = plain ? ts::Quoted(probe_) : "/EXE=" + probe_;
        ASSERT_TRUE(child.Start(ts::Quoted(program_) + " " + args));
        const ts::RunResult r = ts::RunToEnd(child, 60000);
        ReleaseLocks();
        EXPECT_EQ(0, r.code) << trace_;
        trace_ += r.boxes.empty() ? "+" : "-";
        if (!r.boxes.empty()) {
            ++totals.failuresReported;
            return;
        }
        if (settingsLocked) {  // nothing to go by: the run ends without touching anything
            EXPECT_EQ(installedBefore, Bytes(inst_.Installed())) << trace_;
            EXPECT_EQ(parkedBefore, Bytes(inst_.Parked())) << trace_;
        } else {
            EXPECT_TRUE(HasAddin(inst_.Installed())) << trace_;  // a run that ends quietly leaves the add-in on
        }
    }

    void ReleaseLocks() {
        lockedInstalled_.reset();
        lockedSettings_.reset();
    }

    void Note(const char* fault, Totals& totals) {
        trace_ += std::string(" [") + fault + "]";
        ++totals.faults;
    }

    std::string program_, probe_;
    ts::Prng rng_;
    Installation inst_;
    std::string trace_;
    UniqueHandle lockedInstalled_, lockedSettings_;  // faults held during one step
};

class NoWorkbookLost : public ::testing::Test {
protected:
    NoWorkbookLost() : program_(dir_ / "TorvaMan.exe"), probe_(dir_ / "Probe.exe") {
        CopyFileA(ts::ProgramPath().c_str(), program_.c_str(), FALSE);
        CopyFileA(ts::FixturePath("Probe").c_str(), probe_.c_str(), FALSE);
    }
    void RunSeed(unsigned long long seed, int steps, Totals& totals) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Sequence(program_, probe_, seed).Run(steps, totals);
        ++totals.sequences;
    }

    ts::TempDir dir_;
    std::string program_, probe_;
};

}  // namespace

TEST_F(NoWorkbookLost, RandomSequencesWithFaults) {
    // TORVA_ROBUST_SEQUENCES runs more; TORVA_ROBUST_SEED starts elsewhere.
    const unsigned long long base = EnvNumber("TORVA_ROBUST_SEED", 20261209);
    const int sequences = static_cast<int>(EnvNumber("TORVA_ROBUST_SEQUENCES", 50));
    const int steps = 12;
    std::printf("seed %llu, %d sequences of %d steps\n", base, sequences, steps);
    Totals totals;
    for (unsigned long long seed : kRegressionSeeds)
        if (seed) RunSeed(seed, steps, totals);
    for (int i = 0; i < sequences && !HasFailure(); ++i) RunSeed(base + i, steps, totals);
    std::printf("%d sequences, %d steps (%d command-line runs), %d faults injected, %d failures reported\n",
                totals.sequences, totals.steps, totals.commandLines, totals.faults, totals.failuresReported);
    EXPECT_GT(totals.failuresReported, 0);  // the faults did reach the program
}

TEST_F(NoWorkbookLost, TwoRunsOfTheSameEditionAtOnce) {
    int quiet = 0, reported = 0;
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Installation inst(round % 2 ? Installation::Options().Registered() : Installation::Options());
        ts::Child a, b;
        const std::string plain = ts::Quoted(program_) + " " + ts::Quoted(probe_);
        const std::string exe = ts::Quoted(program_) + " /EXE=" + probe_;
        ASSERT_TRUE(a.Start(round % 4 < 2 ? plain : exe));
        ASSERT_TRUE(b.Start(plain));
        const auto results = ts::RunToEnd({&a, &b}, 90000);
        for (const ts::RunResult& r : results) EXPECT_EQ(0, r.code);
        EXPECT_TRUE(ts::AddinSurvives(inst));
        if (results[0].boxes.empty() && results[1].boxes.empty()) {
            ++quiet;
            EXPECT_EQ(Installation::AddinBytes(), ts::ReadFileBytes(inst.Installed()));
        } else {
            ++reported;
            for (const auto& r : results)
                for (const auto& box : r.boxes) std::printf("round %d: %s\n", round, box.c_str());
        }
    }
    std::printf("two runs at once: %d rounds quiet, %d with a reported failure\n", quiet, reported);
}

TEST_F(NoWorkbookLost, ACommandLineRunWhileTheManagerApplies) {
    // The run and the apply overlap by a different amount each round; neither takes a lock.
    ts::Prng rng(EnvNumber("TORVA_ROBUST_SEED", 20261209));
    const int rounds = static_cast<int>(EnvNumber("TORVA_ROBUST_ROUNDS", 8));
    Installation inst(Installation::Options().Registered());
    std::unique_ptr<ts::ManagerProcess> manager;
    int applied = 0, reset = 0, ended = 0;
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        if (!manager || !manager->Process().Running()) {
            manager = std::make_unique<ts::ManagerProcess>();
            ASSERT_TRUE(manager->Start());
        }
        const ts::ManagerControls c = manager->Controls();
        const bool registered = c.Panel1() == ts::kRegisteredText;
        ts::ManagerProcess::Press(registered ? c.unEnableBtn : c.enableBtn);
        ASSERT_TRUE(ts::ManagerProcess::WaitUntil([&] { return c.Enabled(c.okBtn); }));
        if (!registered && c.Checked()) {  // the add-in only: the association is another test's
            ts::ManagerProcess::Press(c.expChk);
            ASSERT_TRUE(ts::ManagerProcess::WaitUntil([&] { return !c.Checked(); }));
        }

        // Either the apply starts first, or the run does (whose refresh may then reset the choice,
        // which leaves the press unanswered).
        const std::string argument = rng.OneIn(2) ? ts::Quoted(probe_) : "/EXE=" + probe_;
        const std::string command = ts::Quoted(program_) + " " + argument;
        const bool applyFirst = rng.OneIn(2);
        const DWORD delay = static_cast<DWORD>(rng.Below(applyFirst ? 150 : 400));
        ts::Child run;
        if (applyFirst) {
            ts::ManagerProcess::Press(c.okBtn);
            Sleep(delay);
            ASSERT_TRUE(run.Start(command));
        } else {
            ASSERT_TRUE(run.Start(command));
            Sleep(delay);
            ts::ManagerProcess::Press(c.okBtn);
        }
        const ts::RunResult r = ts::RunToEnd(run, 60000);
        EXPECT_EQ(0, r.code);
        EXPECT_TRUE(r.boxes.empty());  // nothing the run meets here is a fault

        const ts::MessageBoxInfo box = ts::WaitForMessageBox(manager->Pid(), 3000);
        if (box.hwnd) {
            ++applied;
            ts::ClickButton(box.hwnd);
        } else {
            ++reset;
        }
        EXPECT_TRUE(ts::AddinSurvives(inst));
        // A manager that survived must show what is on disk after its next refresh.
        WaitForSingleObject(manager->Process().Handle(), 300);  // one that reported a failed switch is ending
        if (manager->Process().Running()) {
            WaitForInputIdle(manager->Process().Handle(), 5000);
            InvalidateRect(c.form, nullptr, TRUE);
            const char* expected = inst.Registered() ? ts::kRegisteredText : ts::kRemovedText;
            EXPECT_TRUE(ts::ManagerProcess::WaitUntil([&] { return c.Panel1() == expected; }));
        } else {
            ++ended;
        }
    }
    if (manager) {
        EXPECT_EQ(0, manager->Close());
    }
    std::printf("manager and command line at once: %d applies answered, %d choices reset by the run, "
                "%d managers ended\n", applied, reset, ended);
}
