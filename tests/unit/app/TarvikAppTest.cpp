#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TarvikApp.h"

namespace tarvik {
namespace {

using Log = std::vector<std::string>;

struct FakeClassObjects : IClassObjects {
    Log& log;
    bool registerOk = true;
    explicit FakeClassObjects(Log& l) : log(l) {}
    bool RegisterClassObjects() override { log.push_back("register-class"); return registerOk; }
    void RevokeClassObjects() override { log.push_back("revoke-class"); }
    void RegisterServer() override { log.push_back("register-server"); }
    void UnregisterServer() override { log.push_back("unregister-server"); }
};

struct FakeViewer : IHelpViewer {
    struct Call { std::string folder; uint32_t command; uint32_t data; };
    std::vector<Call> calls;
    void HtmlHelp(const std::string& folder, uint32_t command, uint32_t data) override {
        calls.push_back({folder, command, data});
    }
};

struct NullPoster : IMessagePoster {
    int posts = 0;
    void Post(uint32_t, uint64_t, int64_t) override { ++posts; }
};

struct FakeWindow : IMainWindow {
    Log& log;
    CTarvikModule& module;
    NullPoster poster;
    bool standAlone = false;
    bool helpKey = false;
    FakeWindow(Log& l, CTarvikModule& m) : log(l), module(m) {}
    void SetStandAlone(bool on) override {
        standAlone = on;
        log.push_back(std::string("standalone=") + (on ? "1" : "0") +
                      " close-armed=" + std::to_string(module.m_bCloseOnLastUnlock.load()));
    }
    void StartUp() override { log.push_back("startup"); }
    bool HelpKey() const override { return helpKey; }
    void ClearHelpKey() override { helpKey = false; }
    IMessagePoster& Poster() override { return poster; }
};

struct FakeFactory : IMainWindowFactory {
    Log& log;
    CTarvikModule& module;
    FakeWindow window;
    bool fail = false;
    FakeFactory(Log& l, CTarvikModule& m) : log(l), module(m), window(l, m) {}
    IMainWindow* CreateMainWindow() override {
        log.push_back("create-window close-armed=" + std::to_string(module.m_bCloseOnLastUnlock.load()));
        return fail ? nullptr : &window;
    }
};

class AppTest : public ::testing::Test {
protected:
    CTarvikApp MakeApp(std::vector<std::string> argv) {
        return CTarvikApp(module, classes, viewer, std::move(argv), "/opt/tarvik/help");
    }
    Log log;
    CTarvikModule module;
    FakeClassObjects classes{log};
    FakeViewer viewer;
    FakeFactory factory{log, module};
};

TEST_F(AppTest, StandAloneRunStartsInOrderAndEndsWithZero) {
    auto app = MakeApp({"/usr/bin/tarvik", "somefile"});
    module.Lock();  // Init must reset whatever came before
    ASSERT_TRUE(app.InitInstance(factory));
    EXPECT_EQ(module.GetLockCount(), 0);
    EXPECT_EQ(log, (Log{"register-class", "create-window close-armed=0", "standalone=1 close-armed=1",
                        "startup"}));
    EXPECT_EQ(app.m_pMainDlg, &factory.window);
    EXPECT_EQ(module.GetMainWindow(), &factory.window.poster);
    EXPECT_TRUE(app.m_bComInitialised);

    // The last client leaving now closes the window through a post.
    module.Lock();
    module.Unlock();
    EXPECT_EQ(factory.window.poster.posts, 1);

    app.OnMainWindowDestroyed();
    EXPECT_EQ(module.GetMainWindow(), nullptr);
    log.clear();
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(log, (Log{"revoke-class"}));
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(log, (Log{"revoke-class"})) << "clean-up runs once";
}

TEST_F(AppTest, ClientSwitchesMakeAClientRun) {
    for (const char* arg : {"-Embedding", "/AUTOMATION", "/embedding"}) {
        log.clear();
        auto app = MakeApp({"tarvik", arg});
        ASSERT_TRUE(app.InitInstance(factory)) << arg;
        EXPECT_FALSE(factory.window.standAlone) << arg;
    }
}

TEST_F(AppTest, RegistrationRunEndsAtOnceWithoutWindow) {
    struct Case { std::vector<std::string> argv; const char* step; };
    for (const Case& c : {Case{{"tarvik", "/RegServer"}, "register-server"},
                          Case{{"tarvik", "-unregserver"}, "unregister-server"}}) {
        log.clear();
        auto app = MakeApp(c.argv);
        EXPECT_FALSE(app.BeginInstance());
        EXPECT_EQ(app.ExitInstance(), 0);
        EXPECT_EQ(log, (Log{c.step}));
        EXPECT_EQ(app.m_pMainDlg, nullptr);
    }
    log.clear();
    auto app = MakeApp({"tarvik", "/RegServer", "/x"});
    EXPECT_TRUE(app.InitInstance(factory));
    EXPECT_EQ(log.front(), "register-class");
}

TEST_F(AppTest, FailedStartsEndWithZero) {
    classes.registerOk = false;
    auto noClass = MakeApp({"tarvik"});
    EXPECT_FALSE(noClass.InitInstance(factory));
    EXPECT_EQ(noClass.ExitInstance(), 0);
    EXPECT_EQ(log, (Log{"register-class"})) << "no window, nothing to revoke";

    log.clear();
    classes.registerOk = true;
    factory.fail = true;
    auto noWindow = MakeApp({"tarvik"});
    EXPECT_FALSE(noWindow.InitInstance(factory));
    EXPECT_EQ(module.m_bCloseOnLastUnlock.load(), 0);
    EXPECT_EQ(noWindow.ExitInstance(), 0);
    EXPECT_EQ(log.back(), "revoke-class");
}

TEST_F(AppTest, HelpRequestsByCommandAndAfterF1) {
    auto app = MakeApp({"tarvik"});
    ASSERT_TRUE(app.InitInstance(factory));

    factory.window.helpKey = true;
    app.WinHelp(kMainWindowHelpContext, HELP_CONTEXT);
    EXPECT_TRUE(viewer.calls.empty()) << "F1 went to the instrument; this request only clears the flag";
    EXPECT_FALSE(factory.window.helpKey);

    app.WinHelp(kMainWindowHelpContext, HELP_CONTEXT);
    app.WinHelp(77, HELP_FINDER);
    app.WinHelp(77, HELP_HELPONHELP);
    app.WinHelp(77, 2);  // any other command does nothing
    ASSERT_EQ(viewer.calls.size(), 3u);
    EXPECT_EQ(viewer.calls[0].folder, "/opt/tarvik/help");
    EXPECT_EQ(viewer.calls[0].command, HH_HELP_CONTEXT);
    EXPECT_EQ(viewer.calls[0].data, 0x20000u + 102u);
    EXPECT_EQ(viewer.calls[1].command, HH_DISPLAY_TOPIC);
    EXPECT_EQ(viewer.calls[1].data, 0u);
    EXPECT_EQ(viewer.calls[2].command, HH_HELP_CONTEXT);
    EXPECT_EQ(viewer.calls[2].data, 0u);

    EXPECT_EQ(HelpPageFor(HH_HELP_CONTEXT, kMainWindowHelpContext), "main-window.html");
    EXPECT_EQ(HelpPageFor(HH_DISPLAY_TOPIC, 0), "index.html");
    EXPECT_EQ(HelpPageFor(HH_HELP_CONTEXT, 12345), "index.html");

    // Without a window (after it was destroyed) help still works.
    app.OnMainWindowDestroyed();
    app.WinHelp(0, HELP_FINDER);
    EXPECT_EQ(viewer.calls.size(), 4u);
}

}  // namespace
}  // namespace tarvik
