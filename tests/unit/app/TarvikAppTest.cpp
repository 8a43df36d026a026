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
class AppTest : public ::testing::Test, ClassObjects, ShellWindowFactory, ShellWindow, HelpViewer {
protected:
    TarvikApp MakeApp(std::vector<std::string> argv) {
        return TarvikApp(module, *this, *this, std::move(argv), "/opt/tarvik/help");
    }
    std::string Armed() const { return " close-armed=" + std::to_string(module.m_closeOnLastUnlock.load()); }

    InstanceClaim claimStandAlone() override { return log.push_back("claim"), claim; }
    bool registerClassObjects() override { return log.push_back("register-class"), registerOk; }
    void revokeClassObjects() override { log.push_back("revoke-class"); }
    void setMainWindow(AutomationHost* window) override {
        log.push_back(window == &host ? "host" : window ? "other-host" : "no-host");
    }
    void beginRun(bool standAlone) override {
        log.push_back(std::string("run standalone=") + (standAlone ? "1" : "0"));
    }
    bool registerServer() override { return log.push_back("register-server"), registrationOk; }
    bool unregisterServer() override { return log.push_back("unregister-server"), registrationOk; }
    ShellWindow* createMainWindow() override {
        log.push_back("create-window" + Armed());
        return createFails ? nullptr : this;
    }
    void setStandAlone(bool on) override { log.push_back(std::string("standalone=") + (on ? "1" : "0") + Armed()); }
    void startUp() override { log.push_back("startup"); }
    bool helpKey() const override { return helpKeyDown; }
    void clearHelpKey() override { helpKeyDown = false; }
    CloseTarget& closeTarget() override { return recordedCloser; }
    AutomationHost& automationHost() override { return host; }
    void htmlHelp(const std::string& folder, uint32_t command, uint32_t data) override {
        help.push_back(folder + " " + std::to_string(command) + " " + std::to_string(data));
    }
    ShellWindowFactory& Factory() { return *this; }
    ShellWindow* mainWindow() { return this; }

    Log log, help;
    TarvikModule module;
    test::RecordingCloser recordedCloser;
    test::FakeAutomationHost host;
    bool registerOk = true, createFails = false, helpKeyDown = false, registrationOk = true;
    InstanceClaim claim = InstanceClaim::Mine;
};

TEST_F(AppTest, StandAloneRunStartsInOrderAndEndsWithZero) {
    auto app = MakeApp({"/usr/bin/tarvik", "somefile"});
    module.lock();  // Init must reset whatever came before
    ASSERT_TRUE(app.initInstance(Factory()));
    EXPECT_EQ(module.getLockCount(), 0);
    EXPECT_EQ(log, (Log{"claim", "register-class", "create-window close-armed=0", "host", "standalone=1 close-armed=1",
                        "run standalone=1", "startup"}));
    EXPECT_EQ(app.m_mainDlg, mainWindow());
    EXPECT_EQ(module.getMainWindow(), &recordedCloser);
    EXPECT_TRUE(app.m_comInitialised);

    log.clear();
    app.onMainWindowDestroyed();
    EXPECT_EQ(module.getMainWindow(), nullptr);
    EXPECT_EQ(log, (Log{"no-host"})) << "objects that outlive the window must not reach it";
    log.clear();
    EXPECT_EQ(app.exitInstance(), 0);
    EXPECT_EQ(app.exitInstance(), 0);
    EXPECT_EQ(log, (Log{"revoke-class"})) << "clean-up runs once";
}

TEST_F(AppTest, FailedStartsEndWithZeroAndRevokeOnlyWhatWasRegistered) {
    registerOk = false;
    auto noClass = MakeApp({"/opt/RegServer"});  // the program's own name is no switch
    EXPECT_FALSE(noClass.initInstance(Factory()));
    EXPECT_EQ(noClass.exitInstance(), 0);
    EXPECT_EQ(log, (Log{"claim", "register-class"}));

    registerOk = true;
    createFails = true;
    auto noWindow = MakeApp({"tarvik"});
    EXPECT_FALSE(noWindow.initInstance(Factory()));
    EXPECT_EQ(module.m_closeOnLastUnlock.load(), 0);
    EXPECT_EQ(noWindow.exitInstance(), 0);
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
        EXPECT_EQ(app.initInstance(Factory()), c.goesOn) << c.argv.back();
        if (!c.goesOn) EXPECT_EQ(log, (Log{"claim"})) << "no class object, no window";
        else EXPECT_EQ(std::count(log.begin(), log.end(), "claim"), 0) << c.argv.back();
        log.clear();
        EXPECT_EQ(app.exitInstance(), c.code) << c.argv.back();
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
        EXPECT_FALSE(app.beginInstance());
        EXPECT_EQ(app.exitInstance(), c.code) << c.argv[1];
        EXPECT_EQ(log, (Log{c.step})) << "no class object, no window";
    }

    // A run started for a client tells the class objects so (it ends itself when nobody comes).
    log.clear();
    auto client = MakeApp({"tarvik", "-Embedding"});
    ASSERT_TRUE(client.initInstance(Factory()));
    EXPECT_NE(std::find(log.begin(), log.end(), "run standalone=0"), log.end());
}

TEST_F(AppTest, HelpRequestsByCommandAndAfterF1) {
    auto app = MakeApp({"tarvik"});
    ASSERT_TRUE(app.initInstance(Factory()));

    helpKeyDown = true;
    app.winHelp(MainWindowHelpContext, HELP_CONTEXT);
    EXPECT_TRUE(help.empty()) << "F1 went to the instrument; this request only clears the flag";
    EXPECT_FALSE(helpKeyDown);

    app.winHelp(MainWindowHelpContext, HELP_CONTEXT);
    app.winHelp(77, HELP_FINDER);
    app.winHelp(77, HELP_HELPONHELP);
    app.winHelp(77, 2);  // any other command does nothing
    const std::string folder = "/opt/tarvik/help ";
    EXPECT_EQ(help,
              (Log{folder + std::to_string(HH_HELP_CONTEXT) + " " + std::to_string(0x20000 + 102),
                   folder + std::to_string(HH_DISPLAY_TOPIC) + " 0", folder + std::to_string(HH_HELP_CONTEXT) + " 0"}));
    EXPECT_EQ(helpPageFor(HH_HELP_CONTEXT, 12345), "index.html") << "an unknown topic opens the contents";

    // Without a window (after it was destroyed) help still works.
    app.onMainWindowDestroyed();
    app.winHelp(0, HELP_FINDER);
    EXPECT_EQ(help.size(), 4u);
}

// A build tree keeps the pages beside the executable; an installed tree keeps them in its data
// folder, found from the executable's own folder wherever the tree was installed.
TEST(helpFolder, BesideTheExecutableElseTheInstalledDataFolder) {
    test::TestSandbox sandbox;
    const std::filesystem::path build = sandbox.Dir() / "build" / "app";
    const std::filesystem::path installed = sandbox.Dir() / "usr" / "bin";
    std::filesystem::create_directories(build / "help");
    std::filesystem::create_directories(installed);
    EXPECT_EQ(helpFolderFor(build / "tarvik", "../share/tarvik/help"), (build / "help").string());
    EXPECT_EQ(helpFolderFor(installed / "tarvik", "../share/tarvik/help"),
              (sandbox.Dir() / "usr" / "share" / "tarvik" / "help").string());
}

}  // namespace
}  // namespace tarvik
