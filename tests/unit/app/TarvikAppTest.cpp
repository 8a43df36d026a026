#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/TarvikApp.h"
#include "res/HelpPages.h"
#include "tests/support/FakeAutomationHost.h"
#include "tests/support/Recorders.h"
#include "tests/support/TestSandbox.h"

namespace tarvik {
namespace {

using Log = std::vector<std::string>;

// The test stands in for everything around the application object: class objects, window
// factory, window and help viewer, and logs the start-up steps in the order they come.
class AppTest : public ::testing::Test, IClassObjects, IMainWindowFactory, IMainWindow, IHelpViewer {
protected:
    CTarvikApp MakeApp(std::vector<std::string> argv) {
        return CTarvikApp(module, *this, *this, std::move(argv), "/opt/tarvik/help");
    }
    std::string Armed() const { return " close-armed=" + std::to_string(module.m_bCloseOnLastUnlock.load()); }

    InstanceClaim ClaimStandAlone() override { return log.push_back("claim"), claim; }
    bool RegisterClassObjects() override { return log.push_back("register-class"), registerOk; }
    void RevokeClassObjects() override { log.push_back("revoke-class"); }
    void SetMainWindow(IAutomationHost* window) override {
        log.push_back(window == &host ? "host" : window ? "other-host" : "no-host");
    }
    void BeginRun(bool standAlone) override {
        log.push_back(std::string("run standalone=") + (standAlone ? "1" : "0"));
    }
    bool RegisterServer() override { return log.push_back("register-server"), registrationOk; }
    bool UnregisterServer() override { return log.push_back("unregister-server"), registrationOk; }
    IMainWindow* CreateMainWindow() override {
        log.push_back("create-window" + Armed());
        return createFails ? nullptr : this;
    }
    void SetStandAlone(bool on) override { log.push_back(std::string("standalone=") + (on ? "1" : "0") + Armed()); }
    void StartUp() override { log.push_back("startup"); }
    bool HelpKey() const override { return helpKey; }
    void ClearHelpKey() override { helpKey = false; }
    IMessagePoster& Poster() override { return poster; }
    IAutomationHost& AutomationHost() override { return host; }
    void HtmlHelp(const std::string& folder, uint32_t command, uint32_t data) override {
        help.push_back(folder + " " + std::to_string(command) + " " + std::to_string(data));
    }
    IMainWindowFactory& Factory() { return *this; }
    IMainWindow* Window() { return this; }

    Log log, help;
    CTarvikModule module;
    test::RecordingPoster poster;
    test::FakeAutomationHost host;
    bool registerOk = true, createFails = false, helpKey = false, registrationOk = true;
    InstanceClaim claim = InstanceClaim::Mine;
};

TEST_F(AppTest, StandAloneRunStartsInOrderAndEndsWithZero) {
    auto app = MakeApp({"/usr/bin/tarvik", "somefile"});
    module.Lock();  // Init must reset whatever came before
    ASSERT_TRUE(app.InitInstance(Factory()));
    EXPECT_EQ(module.GetLockCount(), 0);
    EXPECT_EQ(log, (Log{"claim", "register-class", "create-window close-armed=0", "host", "standalone=1 close-armed=1",
                        "run standalone=1", "startup"}));
    EXPECT_EQ(app.m_pMainDlg, Window());
    EXPECT_EQ(module.GetMainWindow(), &poster);
    EXPECT_TRUE(app.m_bComInitialised);

    log.clear();
    app.OnMainWindowDestroyed();
    EXPECT_EQ(module.GetMainWindow(), nullptr);
    EXPECT_EQ(log, (Log{"no-host"})) << "objects that outlive the window must not reach it";
    log.clear();
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(log, (Log{"revoke-class"})) << "clean-up runs once";
}

TEST_F(AppTest, FailedStartsEndWithZeroAndRevokeOnlyWhatWasRegistered) {
    registerOk = false;
    auto noClass = MakeApp({"/opt/RegServer"});  // the program's own name is no switch
    EXPECT_FALSE(noClass.InitInstance(Factory()));
    EXPECT_EQ(noClass.ExitInstance(), 0);
    EXPECT_EQ(log, (Log{"claim", "register-class"}));

    registerOk = true;
    createFails = true;
    auto noWindow = MakeApp({"tarvik"});
    EXPECT_FALSE(noWindow.InitInstance(Factory()));
    EXPECT_EQ(module.m_bCloseOnLastUnlock.load(), 0);
    EXPECT_EQ(noWindow.ExitInstance(), 0);
    EXPECT_EQ(log.back(), "revoke-class");
}

// A stand-alone start that finds another stand-alone run ends before its window or lines exist:
// with 0 once the other has shown its window, with 1 when it did not answer. Client runs never ask.
TEST_F(AppTest, SecondStandAloneStartEndsBeforeAnyWindow) {
    struct Case {
        std::vector<std::string> argv;
        InstanceClaim claim;
        bool goesOn;
        int code;
    };
    for (const Case& c : std::vector<Case>{{{"tarvik"}, InstanceClaim::OtherShown, false, 0},
                                           {{"tarvik", "x"}, InstanceClaim::OtherUnreachable, false, 1},
                                           {{"tarvik", "-Embedding"}, InstanceClaim::OtherShown, true, 0},
                                           {{"tarvik", "/Automation"}, InstanceClaim::OtherUnreachable, true, 0}}) {
        log.clear();
        claim = c.claim;
        auto app = MakeApp(c.argv);
        EXPECT_EQ(app.InitInstance(Factory()), c.goesOn) << c.argv.back();
        if (!c.goesOn) EXPECT_EQ(log, (Log{"claim"})) << "no class object, no window";
        else EXPECT_EQ(std::count(log.begin(), log.end(), "claim"), 0) << c.argv.back();
        log.clear();
        EXPECT_EQ(app.ExitInstance(), c.code) << c.argv.back();
        EXPECT_EQ(log, (Log{"revoke-class"})) << "the bus connection made for the claim is closed";
    }
}

TEST_F(AppTest, RegistrationRunsEndAtOnceAndOnlyAFailureEndsWithOne) {
    struct Case {
        std::vector<std::string> argv;
        bool ok;
        std::string step;
        int code;
    };
    for (const Case& c : std::vector<Case>{{{"tarvik", "/RegServer"}, true, "register-server", 0},
                                           {{"tarvik", "-unregserver"}, true, "unregister-server", 0},
                                           {{"tarvik", "/UnregServer"}, false, "unregister-server", 1}}) {
        log.clear();
        registrationOk = c.ok;
        auto app = MakeApp(c.argv);
        EXPECT_FALSE(app.BeginInstance());
        EXPECT_EQ(app.ExitInstance(), c.code) << c.argv[1];
        EXPECT_EQ(log, (Log{c.step})) << "no class object, no window";
    }

    // A run started for a client tells the class objects so (it ends itself when nobody comes).
    log.clear();
    auto client = MakeApp({"tarvik", "-Embedding"});
    ASSERT_TRUE(client.InitInstance(Factory()));
    EXPECT_NE(std::find(log.begin(), log.end(), "run standalone=0"), log.end());
}

TEST_F(AppTest, HelpRequestsByCommandAndAfterF1) {
    auto app = MakeApp({"tarvik"});
    ASSERT_TRUE(app.InitInstance(Factory()));

    helpKey = true;
    app.WinHelp(kMainWindowHelpContext, HELP_CONTEXT);
    EXPECT_TRUE(help.empty()) << "F1 went to the instrument; this request only clears the flag";
    EXPECT_FALSE(helpKey);

    app.WinHelp(kMainWindowHelpContext, HELP_CONTEXT);
    app.WinHelp(77, HELP_FINDER);
    app.WinHelp(77, HELP_HELPONHELP);
    app.WinHelp(77, 2);  // any other command does nothing
    const std::string folder = "/opt/tarvik/help ";
    EXPECT_EQ(help,
              (Log{folder + std::to_string(HH_HELP_CONTEXT) + " " + std::to_string(0x20000 + 102),
                   folder + std::to_string(HH_DISPLAY_TOPIC) + " 0", folder + std::to_string(HH_HELP_CONTEXT) + " 0"}));
    EXPECT_EQ(HelpPageFor(HH_HELP_CONTEXT, 12345), "index.html") << "an unknown topic opens the contents";

    // Without a window (after it was destroyed) help still works.
    app.OnMainWindowDestroyed();
    app.WinHelp(0, HELP_FINDER);
    EXPECT_EQ(help.size(), 4u);
}

// A build tree keeps the pages beside the executable; an installed tree keeps them in its data
// folder, found from the executable's own folder wherever the tree was installed.
TEST(HelpFolder, BesideTheExecutableElseTheInstalledDataFolder) {
    test::TestSandbox sandbox;
    const std::filesystem::path build = sandbox.Dir() / "build" / "app";
    const std::filesystem::path installed = sandbox.Dir() / "usr" / "bin";
    std::filesystem::create_directories(build / "help");
    std::filesystem::create_directories(installed);
    EXPECT_EQ(HelpFolderFor(build / "tarvik", "../share/tarvik/help"), (build / "help").string());
    EXPECT_EQ(HelpFolderFor(installed / "tarvik", "../share/tarvik/help"),
              (sandbox.Dir() / "usr" / "share" / "tarvik" / "help").string());
}

}  // namespace
}  // namespace tarvik
