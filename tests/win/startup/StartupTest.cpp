// The program itself, started under several file names.
#include <gtest/gtest.h>

#include <memory>

#include "edition/Edition.h"
#include "support/Installation.h"
#include "support/ManagerSupport.h"
#include "support/TestSupport.h"

namespace {

bool MutexExists(const std::string& name) {
    UniqueHandle h(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
    return static_cast<bool>(h);
}

// Copies of the built program under edition names, in a folder of their own, with
// a product installation for each settings file they read (without one the window
// reports a broken installation and the program ends).
class Editions : public ::testing::Test {
protected:
    Editions()
        : userXlStart_(ts::UserXlStartFolderPath()),
          ea_(ts::Installation::Options().SettingsFile("Torva.Ini")),
          eb_(ts::Installation::Options().SettingsFile("Torva8.Ini")),
          ec_(ts::Installation::Options().SettingsFile("Torva9.Ini")) {}

    std::string Copy(const std::string& name) {
        const std::string path = dir_ / name;
        if (!ts::FileExists(path)) CopyFileA(ts::ProgramPath().c_str(), path.c_str(), FALSE);
        return path;
    }
    // Starts a copy without arguments and waits for its window.
    std::unique_ptr<ts::Child> StartWindow(const std::string& name, HWND* window) {
        auto c = std::make_unique<ts::Child>();
        EXPECT_TRUE(c->Start(ts::Quoted(Copy(name))));
        *window = ts::WaitForProcessWindow(c->Pid(), "TManagerForm", 15000);
        return c;
    }
    static int Close(ts::Child& c, HWND window) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return c.Wait(15000);
    }
    ts::ScopedFolder userXlStart_;  // editions from 9 on make it when it is missing
    ts::Installation ea_, eb_, ec_;
    ts::TempDir dir_;
};

}  // namespace

TEST(EditionOfThisProgram, FollowsItsOwnFileName) {
    // The test program's own name carries no digits after "test_".
    EXPECT_NE("", ModuleFileName());
    EXPECT_EQ("MutexObjectForAppEB", MutexNameFor("EB"));
    EXPECT_EQ("MutexObjectForApp", MutexNameFor(""));
}

TEST_F(Editions, ASecondStartOfTheSameEditionEndsAtOnce) {
    HWND first = nullptr;
    auto a = StartWindow("TorvaMan.exe", &first);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ("Torvaマネージャ", ts::WindowText(first));
    EXPECT_TRUE(MutexExists("MutexObjectForAppEA"));

    ts::Child second;
    ASSERT_TRUE(second.Start(ts::Quoted(Copy("TorvaMan.exe"))));
    EXPECT_EQ(0, second.Wait(15000));
    EXPECT_EQ(0, ts::CountProcessWindows({second.Pid()}, "TManagerForm"));
    EXPECT_TRUE(a->Running());
    EXPECT_TRUE(IsWindow(first));

    EXPECT_EQ(0, Close(*a, first));
    EXPECT_FALSE(MutexExists("MutexObjectForAppEA"));
}

TEST_F(Editions, DifferentEditionsRunSideBySide) {
    HWND wa = nullptr, wc = nullptr, w5 = nullptr, w15 = nullptr;
    auto a = StartWindow("TorvaMan.exe", &wa);
    auto c = StartWindow("TorvaMan9.exe", &wc);
    auto five = StartWindow("TorvaMan5.exe", &w5);
    ASSERT_TRUE(wa && wc && w5);
    EXPECT_TRUE(MutexExists("MutexObjectForAppEA"));
    EXPECT_TRUE(MutexExists("MutexObjectForAppEC"));
    EXPECT_TRUE(MutexExists("MutexObjectForApp"));  // 5 has no edition code at start-up

    // 15 has no edition code either: it shares the marker with TorvaMan5 and ends at once.
    ts::Child fifteen;
    ASSERT_TRUE(fifteen.Start(ts::Quoted(Copy("TorvaMan15.exe"))));
    EXPECT_EQ(0, fifteen.Wait(15000));
    EXPECT_EQ(0, ts::CountProcessWindows({fifteen.Pid()}, "TManagerForm"));
    (void)w15;

    EXPECT_EQ(0, Close(*five, w5));
    EXPECT_EQ(0, Close(*c, wc));
    EXPECT_EQ(0, Close(*a, wa));
}

TEST_F(Editions, AnyArgumentTakesTheCommandLinePathWithoutAWindow) {
    for (const char* args : {"/nothing/known", "C:/fwd/slash.exe", "\"\""}) {
        ts::Child c;
        ASSERT_TRUE(c.Start(ts::Quoted(Copy("TorvaMan8.exe")) + " " + args));
        EXPECT_EQ(0, c.Wait(15000)) << args;
        EXPECT_EQ(0, ts::CountProcessWindows({c.Pid()}, "TManagerForm")) << args;
        EXPECT_FALSE(MutexExists("MutexObjectForAppEB")) << args;  // it creates no marker
    }
}

TEST_F(Editions, ArgumentsWhileAManagerRunsLeaveItAlone) {
    HWND w = nullptr;
    auto m = StartWindow("TorvaMan10.exe", &w);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(0, ts::RunAndWait(ts::Quoted(Copy("TorvaMan10.exe")) + " /x/", 15000));
    EXPECT_TRUE(m->Running());
    EXPECT_TRUE(MutexExists("MutexObjectForAppED"));
    EXPECT_EQ(0, Close(*m, w));
}

TEST_F(Editions, AManagerOpensWhileACommandLineRunThatSawTheLastOneWaits) {
    HWND first = nullptr, second = nullptr;
    auto a = StartWindow("TorvaMan.exe", &first);
    ASSERT_NE(nullptr, first);
    HWND setup = ts::CreateTestWindow("TorvaTestWatch", "Setup");
    ts::Child run;
    ASSERT_TRUE(run.Start(ts::Quoted(Copy("TorvaMan.exe")) + " /CW=TorvaTestWatch,Setup,Work"));
    // Registered by the run, which then waits for "Setup" to go.
    const DWORD end = GetTickCount() + 15000;
    while (!ea_.Registered() && static_cast<int>(end - GetTickCount()) > 0) Sleep(20);
    ASSERT_TRUE(ea_.Registered());
    EXPECT_EQ(0, Close(*a, first));
    auto b = StartWindow("TorvaMan.exe", &second);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(0, Close(*b, second));
    DestroyWindow(setup);
    EXPECT_EQ(0, run.Wait(15000));
}

TEST_F(Editions, StartsAtTheSameInstantOpenOneWindow) {
    const std::string path = Copy("TorvaMan8.exe");
    std::vector<std::unique_ptr<ts::Child>> starts;
    std::vector<DWORD> pids;
    for (int i = 0; i < 4; ++i) {
        starts.push_back(std::make_unique<ts::Child>());
        ASSERT_TRUE(starts.back()->Start(ts::Quoted(path)));
        pids.push_back(starts.back()->Pid());
    }
    HWND window = nullptr;
    const DWORD end = GetTickCount() + 15000;
    int running = 0;
    // Wait until every start has either ended or shown its window.
    while (static_cast<int>(end - GetTickCount()) > 0) {
        running = 0;
        for (auto& s : starts) running += s->Running();
        if (running <= 1 && ts::CountProcessWindows(pids, "TManagerForm") == running) break;
        Sleep(50);
    }
    EXPECT_EQ(1, running);
    EXPECT_EQ(1, ts::CountProcessWindows(pids, "TManagerForm"));
    for (auto& s : starts) {
        if (!s->Running()) {
            EXPECT_EQ(0, s->Wait(0));
            continue;
        }
        window = ts::WaitForProcessWindow(s->Pid(), "TManagerForm", 5000);
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(0, Close(*s, window));
    }
}
