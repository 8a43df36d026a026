#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "input/MouseEmulation.h"
#include "res/StringTable.h"
#include "tests/support/FakeMouseDevice.h"

namespace tarvik {
namespace {

using test::FakeMouseDevice;

constexpr DesktopSize kDesktop{1920, 1080};
constexpr Point kCursor{100, 200};

struct FakeHost : MouseHost, PortSender {
    explicit FakeHost(MouseState& s) : state(s) {}
    void sendMousePacket() override { packets.push_back(state); }
    void refreshControls() override { escShown.push_back(state.m_esc); }
    void setMouseImage(bool on) override { imageOn = on; }
    void showAlertId(uint32_t id) override { alerts.push_back(id); }
    void setTimer(uint32_t id, uint32_t ms) override { timers[id] = ms; }
    void stopTimer(uint32_t id) override { timers.erase(id); }
    DesktopSize getDesktopSize() override { return kDesktop; }
    Point getCursorPos() override { return cursor; }
    void setCursorPos(Point p) override { cursor = p; }
    void sendByteToPorts(uint8_t byte) override { bytes.push_back(byte); }
    void sendTextToPorts(const std::string&) override {}
    void sendBufferToPorts(const uint8_t*, size_t) override {}

    MouseState& state;
    std::vector<MouseState> packets;
    std::vector<uint8_t> bytes;
    std::vector<int32_t> escShown;
    std::vector<uint32_t> alerts;
    std::map<uint32_t, uint32_t> timers;
    Point cursor = kCursor;
    bool imageOn = false;
};

class MouseEmulationTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto owned = std::make_unique<FakeMouseDevice>();
        device = owned.get();
        mouse.initialise();
        ASSERT_TRUE(mouse.initDirectInput(std::move(owned)));
    }
    // Mouse mode on, with what entry sent cleared.
    void Enter() {
        ASSERT_TRUE(mouse.enterMouseMode());
        host.packets.clear();
    }
    // The device hands its input to the emulation as its watch would when input arrives.
    void read() { ASSERT_TRUE(device->deliver()) << "nobody reads the device"; }
    const MouseState& last() const { return host.packets.back(); }

    MouseState state;
    FakeHost host{state};
    FakeMouseDevice* device = nullptr;
    MouseEmulation mouse{state, host, host};
};

TEST_F(MouseEmulationTest, EnteringSendsAnActivePacketAtTheCentreAndLeavingPutsTheCursorBack) {
    ASSERT_TRUE(mouse.enterMouseMode());
    EXPECT_TRUE(device->acquired);
    EXPECT_TRUE(state.m_mouseMode && host.imageOn);
    ASSERT_EQ(host.packets.size(), 1u);
    EXPECT_TRUE(last().m_mouseActive);
    EXPECT_EQ(last().m_instrumentCursor, (Point{511, 511}));

    host.cursor = {5, 5};  // the capture moved the pointer meanwhile
    state.m_shift = state.m_ctrl = state.m_esc = 1;
    mouse.leaveMouseMode();
    EXPECT_FALSE(device->acquired);
    EXPECT_FALSE(state.m_mouseMode || host.imageOn);
    EXPECT_FALSE(last().m_mouseActive || last().m_shift || last().m_ctrl);
    EXPECT_EQ(host.cursor, kCursor);
}

TEST_F(MouseEmulationTest, WithoutCaptureEntryShowsTheFailureAndChangesNothing) {
    device->acquireFails = true;
    state.m_mouseMode = 1;  // the button went down
    EXPECT_FALSE(mouse.enterMouseMode());
    EXPECT_EQ(host.alerts, std::vector<uint32_t>{StringDirectxFailure});
    EXPECT_TRUE(host.packets.empty());

    MouseState noDeviceState;
    FakeHost noDeviceHost{noDeviceState};
    MouseEmulation noDevice{noDeviceState, noDeviceHost, noDeviceHost};
    EXPECT_FALSE(noDevice.initDirectInput(nullptr));
    EXPECT_FALSE(noDevice.enterMouseMode());
    EXPECT_EQ(noDeviceHost.alerts, std::vector<uint32_t>{StringDirectxFailure});
}

TEST_F(MouseEmulationTest, SpeedSettingScalesMotion) {
    const struct {
        int32_t speed, systemSpeed, expectedX;
    } cases[] = {{50, 10, 960 + 100}, {0, 10, 960 + 65}, {100, 10, 960 + 208}, {100, 20, 960 + 416}};
    for (const auto& c : cases) {
        mouse.m_mouseSpeed = c.speed;
        device->settings.speed = c.systemSpeed;
        Enter();
        device->move(100, 0);
        read();
        EXPECT_EQ(state.m_pcCursor.x, c.expectedX) << "speed " << c.speed << ", system " << c.systemSpeed;
        mouse.leaveMouseMode();
    }
}

TEST_F(MouseEmulationTest, AccelerationDoublesAboveEachThreshold) {
    const struct { int32_t level, move, expected; } cases[] = {{2, 6, 6}, {2, 8, 32}, {2, 4, 4}, {1, 8, 16}, {0, 8, 8}};
    for (const auto& c : cases) {
        device->settings.thresholds = {6, 10, c.level};
        Enter();
        device->move(0, c.move);
        read();
        EXPECT_EQ(state.m_pcCursor.y, 540 + c.expected) << "level " << c.level << ", move " << c.move;
        mouse.leaveMouseMode();
    }
}

TEST_F(MouseEmulationTest, TheVirtualCursorStopsAtTheEdgesAndLeavesThemAtOnce) {
    Enter();
    device->move(-5000, 5000);
    read();
    EXPECT_EQ(state.m_pcCursor, (Point{0, 1080}));
    EXPECT_EQ(last().m_instrumentCursor, (Point{0, 1023}));
    mouse.onTimer(TIMER_PACKET_THROTTLE);
    device->move(1, -1);
    read();
    EXPECT_EQ(state.m_pcCursor, (Point{1, 1079}));
}

TEST_F(MouseEmulationTest, WheelSendsAtMostOneKeyPerReadAndDropsTheRest) {
    const struct {
        std::vector<double> notchesPerRead;
        std::vector<uint8_t> bytes;
    } cases[] = {{{1, 1}, {0x0E, 0x0E}}, {{0.5, 0.5}, {0x0E}}, {{200.0 / 120, 0.5}, {0x0E}}, {{-1}, {0x0F}}};
    for (const auto& c : cases) {
        Enter();
        host.bytes.clear();
        for (double notches : c.notchesPerRead) {
            device->wheel(notches);
            read();
        }
        EXPECT_EQ(host.bytes, c.bytes) << "first read " << c.notchesPerRead[0];
        mouse.leaveMouseMode();
    }
}

TEST_F(MouseEmulationTest, PositionsAreThrottledAndTheLastOneStillArrives) {
    Enter();
    device->move(10, 0);
    read();
    ASSERT_EQ(host.packets.size(), 1u);
    EXPECT_EQ(host.timers[TIMER_PACKET_THROTTLE], 20u);
    device->move(10, 0);
    read();
    EXPECT_EQ(host.packets.size(), 1u) << "a second position inside 20 ms";

    mouse.onTimer(TIMER_PACKET_THROTTLE);
    ASSERT_EQ(host.packets.size(), 2u) << "where the mouse stopped is sent when the period ends";
    EXPECT_EQ(last().m_instrumentCursor, mouse.screenToInstrument(state.m_pcCursor));
    EXPECT_TRUE(host.timers.count(TIMER_PACKET_THROTTLE)) << "and starts a new period";
    mouse.onTimer(TIMER_PACKET_THROTTLE);
    EXPECT_EQ(host.packets.size(), 2u);
    EXPECT_FALSE(host.timers.count(TIMER_PACKET_THROTTLE));
}

// Each button alone, so that one taken for another (back for forward, Ctrl for Shift) shows.
TEST_F(MouseEmulationTest, EachButtonSetsItsOwnFlagOnly) {
    using Flag = int32_t MouseState::*;
    const Flag flags[] = {&MouseState::m_mouseButton, &MouseState::m_esc, &MouseState::m_ctrl, &MouseState::m_shift};
    const struct {
        uint32_t xButton;
        Flag flag;
        std::vector<uint8_t> bytes;
    } cases[] = {{1, &MouseState::m_mouseButton, {}},
                 {2, &MouseState::m_esc, {0x1B}},  // Esc once, on the press
                 {8, &MouseState::m_ctrl, {}},
                 {9, &MouseState::m_shift, {}}};
    Enter();
    for (const auto& c : cases) {
        host.bytes.clear();
        host.escShown.clear();
        device->button(c.xButton, true);
        read();
        ASSERT_EQ(host.packets.size(), 1u) << "button " << c.xButton;
        for (Flag flag : flags) EXPECT_EQ(last().*flag != 0, flag == c.flag) << "button " << c.xButton;
        EXPECT_EQ(host.escShown.back(), c.xButton == 2) << "the Esc button lights while the middle button is held";
        device->button(c.xButton, false);
        read();
        ASSERT_EQ(host.packets.size(), 2u) << "button " << c.xButton;
        for (Flag flag : flags) EXPECT_EQ(last().*flag, 0) << "button " << c.xButton;
        EXPECT_EQ(host.bytes, c.bytes) << "button " << c.xButton;
        host.packets.clear();
    }
}

TEST_F(MouseEmulationTest, AClickInsideOneReadIsNotLost) {
    Enter();
    device->click(2);
    device->click(1);
    read();
    EXPECT_EQ(host.bytes, std::vector<uint8_t>{0x1B});
    ASSERT_EQ(host.packets.size(), 2u) << "pressed, then released";
    EXPECT_TRUE(host.packets[0].m_mouseButton && host.packets[0].m_mouseActive);
    EXPECT_FALSE(host.packets[1].m_mouseButton);
    EXPECT_EQ(state.m_esc, 0);
}

TEST_F(MouseEmulationTest, RightButtonLeavesAndHoldsBackTheContextMenu) {
    for (bool swapped : {false, true}) {
        device->settings.swapButtons = swapped;
        Enter();
        device->button(swapped ? 1 : 3, true);
        read();
        EXPECT_FALSE(state.m_mouseMode) << "swapped " << swapped;
        EXPECT_FALSE(last().m_mouseActive);
        EXPECT_EQ(host.cursor, kCursor);
        EXPECT_TRUE(mouse.m_suppressContextMenu);
        EXPECT_EQ(host.timers[TIMER_SUPPRESS_CONTEXT_MENU], 250u);
        mouse.onTimer(TIMER_SUPPRESS_CONTEXT_MENU);
        EXPECT_FALSE(mouse.m_suppressContextMenu);
    }
}

TEST_F(MouseEmulationTest, LosingTheCaptureLeavesMouseMode) {
    Enter();
    device->loseCapture();
    read();
    EXPECT_FALSE(state.m_mouseMode);
    ASSERT_EQ(host.packets.size(), 1u);
    EXPECT_FALSE(last().m_mouseActive);
    read();  // a message still queued from before
    EXPECT_EQ(host.packets.size(), 1u);
}

TEST_F(MouseEmulationTest, StartPositions) {
    // The instrument's own mouse left its cursor at (1023, 0); the merge parser moved the PC
    // cursor to match.
    const Point instrument{1023, 0};
    const struct {
        int32_t setting;
        Point pc;
    } cases[] = {{0, {960, 540}},
                 {1, kCursor},
                 {2, mouse.instrumentToScreen(instrument)},
                 {7, mouse.instrumentToScreen(instrument)}};
    for (const auto& c : cases) {
        state.m_instrumentCursor = instrument;
        state.m_pcCursor = mouse.instrumentToScreen(instrument);
        mouse.m_mouseStartPosition = c.setting;
        Enter();
        EXPECT_EQ(state.m_pcCursor, c.pc) << "setting " << c.setting;
        EXPECT_EQ(state.m_instrumentCursor, mouse.screenToInstrument(c.pc)) << "setting " << c.setting;
        mouse.leaveMouseMode();
    }
}

}  // namespace
}  // namespace tarvik
