// The session over scripted lines, a fake desktop and fake settings: what its clients see and
// what reaches the instrument, without a window.
#include "session/InstrumentSession.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "input/VirtualKeyCodes.h"
#include "serial/MergeProtocol.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeDeviceWatch.h"
#include "tests/support/FakeLine.h"
#include "tests/support/FakeMouseDevice.h"
#include "tests/support/FakeSettings.h"

namespace tarvik {
namespace {

using test::FakeLineState;

std::string packetOf(const MouseState& state) {
    const MousePacket packet = encodeMousePacket(state);
    return std::string(packet.begin(), packet.end());
}

struct FakeDesktop : DesktopAccess {
    // Tells when the session lets its device go, and whether it was still acquired then.
    struct TrackedDevice : test::FakeMouseDevice {
        explicit TrackedDevice(FakeDesktop& desktop) : desktop(desktop) {}
        ~TrackedDevice() override {
            desktop.device = nullptr;
            desktop.releasedAcquired = acquired;
        }
        FakeDesktop& desktop;
    };
    DesktopSize desktopSize() override { return {1024, 768}; }
    Point cursorPos() override { return cursor; }
    void setCursorPos(Point position) override { cursor = position; }
    std::unique_ptr<MouseDevice> openMouseDevice() override {
        auto made = std::make_unique<TrackedDevice>(*this);
        device = made.get();
        return made;
    }
    Point cursor;
    test::FakeMouseDevice* device = nullptr;
    std::optional<bool> releasedAcquired;  // set when the device is released
};

// Who hears of a new name, and what the display line said at that moment.
struct Listener : InstrumentEvents {
    Listener(const char* who, std::vector<std::string>& heard, InstrumentSession& session)
        : who(who),
          heard(heard),
          session(session) {}
    void fireInstrumentChanged(const std::string& name) override {
        heard.push_back(std::string(who) + " " + name + " over \"" + session.displayText() + "\"");
    }
    const char* who;
    std::vector<std::string>& heard;
    InstrumentSession& session;
};

class SessionTest : public ::testing::Test {
protected:
    SessionTest() {
        test::EnsureCoreApplication();
        settings.numbers[{HKEY_LOCAL_MACHINE, "Display Port"}] = 1;
        settings.numbers[{HKEY_LOCAL_MACHINE, "Merge Port"}] = 2;
        QObject::connect(&session, &InstrumentSession::controlsChanged, [this] { ++refreshes; });
        QObject::connect(&session, &InstrumentSession::lineStatusChanged,
                         [this](const std::string& text) { statuses.push_back(text); });
        session.setDesktop(&desktop);
        session.initialise();
        session.openPorts();
        sent();
    }
    // What went out since the last look; both lines always get the same bytes.
    std::string sent() {
        EXPECT_EQ(com1->written, com2->written);
        std::string bytes = com1->written;
        com1->written.clear();
        com2->written.clear();
        return bytes;
    }

    test::FakeLines lines;
    std::shared_ptr<FakeLineState> com1 = lines.line("COM1");
    std::shared_ptr<FakeLineState> com2 = lines.line("COM2");
    test::FakeSettings settings;
    test::FakeDeviceWatcher watcher;
    FakeDesktop desktop;
    int refreshes = 0;
    std::vector<std::string> statuses;
    InstrumentSession session{settings, lines, watcher};
};

TEST_F(SessionTest, ANewNameReachesClientsBeforeTheDisplayLineAndOnlyOnce) {
    ASSERT_TRUE(com1->open() && com2->open());
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back(), session.ports().status().text()) << "the tooltips follow the lines";
    std::vector<std::string> heard;
    Listener object("object", heard, session), control("control", heard, session);
    session.setAutomationObject(&object);
    session.setInstrumentListener(&control);
    QObject::connect(&session, &InstrumentSession::displayTextChanged,
                     [&heard](const std::string& text) { heard.push_back("shown " + text); });
    const std::string before = session.displayText();
    com1->arrive("\rGrand Piano ");
    com1->arrive("\rGrand Piano ");
    EXPECT_EQ(heard, (std::vector<std::string>{"object Grand Piano  over \"" + before + "\"",
                                               "control Grand Piano  over \"" + before + "\"", "shown Grand Piano "}));
    EXPECT_EQ(session.instrumentName(), "Grand Piano ");
    session.setAutomationObject(nullptr);
    session.setInstrumentListener(nullptr);
}

TEST_F(SessionTest, AnInstrumentMousePacketIsTakenShownAndSentOn) {
    MouseState instrument;
    instrument.m_instrumentCursor = {65, 892};
    instrument.m_mouseActive = 1;
    instrument.m_shift = 1;
    com2->arrive(packetOf(instrument));
    EXPECT_EQ(session.mouseState().m_instrumentCursor, (Point{65, 892}));
    EXPECT_TRUE(session.mouseState().m_shift);
    EXPECT_EQ(refreshes, 1) << "the Shft button follows the instrument";
    EXPECT_EQ(sent(), packetOf(instrument));
}

TEST_F(SessionTest, KeysTravelAsBytesAndModifiersAsPackets) {
    const auto key = [this](uint32_t vk, bool release, bool shift = false) {
        return session.translateKey(
            {release ? KeyEventKind::KeyUp : KeyEventKind::KeyDown, vk, release, shift, false, false});
    };
    EXPECT_TRUE(key(vk::f(1), false));
    EXPECT_EQ(sent(), "\x81");
    EXPECT_TRUE(session.helpKey()) << "F1 went to the instrument";
    EXPECT_TRUE(key(vk::VK_SHIFT, false, true));
    EXPECT_TRUE(session.mouseState().m_shift);
    EXPECT_EQ(sent(), packetOf(session.mouseState()));
    const int before = refreshes;
    session.releaseHeldModifiers();
    EXPECT_FALSE(session.mouseState().m_shift);
    EXPECT_EQ(sent(), packetOf(session.mouseState())) << "one packet clears what the keyboard held";
    EXPECT_GT(refreshes, before);
    session.mouseState().m_esc = 1;
    session.pressEsc();
    session.pressEsc();
    EXPECT_EQ(sent(), "\x1B") << "Esc once, while lit";
}

TEST_F(SessionTest, MacrosGetTheirCaptionsShownAndSendTheirText) {
    std::vector<std::string> captions(MacroCount);
    QObject::connect(&session, &InstrumentSession::macroCaptionChanged,
                     [&captions](int index, const std::string& caption) { captions.at(index) = caption; });
    EXPECT_FALSE(session.loadMacros()) << "nothing stored yet";
    session.setDefaultMacros();
    EXPECT_EQ(captions[4], "Master");
    EXPECT_EQ(captions[7], "Ic");
    session.sendMacro(4);
    session.sendMacro(MacroCount);
    EXPECT_EQ(sent(), session.macros()[4].compose());
}

TEST_F(SessionTest, ShutdownShowsItsTextThenSendsTheLastPacketAndClosesTheLines) {
    ASSERT_TRUE(session.initMouseDevice());
    ASSERT_TRUE(session.enterMouseMode());
    ASSERT_TRUE(desktop.device->acquired);
    sent();
    bool quietWhenShown = false;
    QObject::connect(&session, &InstrumentSession::shutdownShown, [&] {
        quietWhenShown = session.displayText() == "Shutdown - Please Wait" && com1->written.empty() && com1->open() &&
                         desktop.device->acquired;
    });
    session.shutdown();
    EXPECT_TRUE(quietWhenShown) << "the text is up before anything else happens";
    EXPECT_EQ(desktop.releasedAcquired, std::optional<bool>(false)) << "unacquired, then released";
    EXPECT_FALSE(session.mouseState().m_mouseActive);
    EXPECT_EQ(sent(), packetOf(session.mouseState()));
    EXPECT_FALSE(com1->open() || com2->open());
    EXPECT_FALSE(session.ports().commsEnabled());
}

TEST_F(SessionTest, ClientRequestsGoToTheWindowAndACloseWithoutOneEnds) {
    std::vector<bool> answers;
    session.closeFromClient([&answers](bool ends) { answers.push_back(ends); });
    std::vector<bool> shown;
    session.setWindowRequests([&shown](bool show) { shown.push_back(show); },
                              [](std::function<void(bool)> answered) { answered(false); });
    session.showFromClient(false);
    session.closeFromClient([&answers](bool ends) { answers.push_back(ends); });
    EXPECT_EQ(answers, (std::vector<bool>{true, false}));
    EXPECT_EQ(shown, std::vector<bool>{false});
}

}  // namespace
}  // namespace tarvik
