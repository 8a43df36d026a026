#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/MouseMath.h"
#include "serial/MergeProtocol.h"
#include "tests/support/LineRecorders.h"

namespace tarvik {
namespace {

using test::bytes;
using test::RecordingPorts;
using test::Send;

// The window's side, reduced to what decoding uses; it records the order of the steps. The
// packet cases on the lines themselves are tested through the real window in the link tests.
class FakeHost : public MergeHost {
public:
    explicit FakeHost(RecordingPorts& ports) : m_ports(ports) {}
    MouseState state;
    std::vector<std::string> steps;

    MouseState& sharedMouseState() override { return state; }
    void leaveMouseMode() override {
        steps.push_back("leave");
        state.m_mouseMode = state.m_shift = state.m_ctrl = state.m_esc = 0;
        state.m_mouseActive = 0;
        tarvik::sendMousePacket(state, m_ports);
    }
    void refreshControls() override { steps.push_back("refresh"); }
    void sendMousePacket() override {
        steps.push_back("send");
        tarvik::sendMousePacket(state, m_ports);
    }
    Point instrumentToScreen(Point p) override {
        steps.push_back("toScreen");
        return tarvik::instrumentToScreen(p, 1920, 1080);
    }

private:
    RecordingPorts& m_ports;
};

class MergeParserTest : public ::testing::Test {
protected:
    void feed(const std::string& bytes) { parser.parse(bytes, ports, host); }
    RecordingPorts ports;
    FakeHost host{ports};
    MergeParser parser;
};

const std::string kFirst = bytes({0x80, 0xF0, 0xE1, 0xE2, 0xE3, 0xE4});

TEST_F(MergeParserTest, FirstPacketIsDecodedAndResentThenRepeatIsDropped) {
    feed(kFirst);
    EXPECT_EQ(host.state.m_mouseActive, 1);
    EXPECT_EQ(host.state.m_mouseButton, 0);
    EXPECT_EQ(host.state.m_shift, 0);
    EXPECT_EQ(host.state.m_ctrl, 0);
    EXPECT_EQ(host.state.m_instrumentCursor, (Point{65, 892}));
    EXPECT_EQ(host.state.m_pcCursor, instrumentToScreen({65, 892}, 1920, 1080));
    EXPECT_EQ(ports.sends, (std::vector<Send>{{'p', kFirst}}));
    EXPECT_EQ(host.steps, (std::vector<std::string>{"refresh", "send", "toScreen"}));

    const MouseState before = host.state;
    feed(kFirst);
    EXPECT_EQ(ports.sends.size(), 1u);
    EXPECT_EQ(host.state.m_instrumentCursor, before.m_instrumentCursor);
    EXPECT_TRUE(parser.pendingPacket().empty());
}

TEST_F(MergeParserTest, DifferingPacketGoesOutWithBitZeroCleared) {
    feed(kFirst);
    feed(bytes({0x80, 0xF1, 0xE1, 0xE2, 0xE3, 0xE4}));
    ASSERT_EQ(ports.sends.size(), 2u);
    EXPECT_EQ(ports.sends[1], (Send{'p', kFirst}));
    // Remembered as received, so the same odd packet again is dropped.
    feed(bytes({0x80, 0xF1, 0xE1, 0xE2, 0xE3, 0xE4}));
    EXPECT_EQ(ports.sends.size(), 2u);
}

TEST_F(MergeParserTest, PacketInMouseModeLeavesItBeforeTakingTheState) {
    host.state.m_mouseMode = 1;
    host.state.m_esc = 1;
    feed(bytes({0x80, 0xE6, 0xE0, 0xE0, 0xE0, 0xE0}));  // Shift and Ctrl from the instrument
    EXPECT_EQ(host.steps, (std::vector<std::string>{"leave", "refresh", "send", "toScreen"}));
    EXPECT_EQ(host.state.m_mouseMode, 0);
    EXPECT_EQ(host.state.m_shift, 1);
    EXPECT_EQ(host.state.m_ctrl, 1);
    EXPECT_EQ(host.state.m_instrumentCursor, (Point{0, 1023}));
}

TEST_F(MergeParserTest, AnyByteBelowE0BreaksAPendingPacketAndStartsNothing) {
    // A 0x80 inside a packet is passed on after the broken bytes; the packet bytes that follow it
    // are then plain bytes, not a new packet.
    feed(bytes({0x80, 0xF0, 0x80}));
    EXPECT_TRUE(parser.pendingPacket().empty());
    feed(bytes({0xE1, 0xE2, 0xE3, 0xE4, 0xE5}));
    feed(bytes({0x80, 0x41}));
    const std::vector<Send> sent{{'t', bytes({0x80, 0xF0})}, {'b', bytes({0x80})}, {'b', bytes({0xE1})},
                                 {'b', bytes({0xE2})},       {'b', bytes({0xE3})}, {'b', bytes({0xE4})},
                                 {'b', bytes({0xE5})},       {'t', bytes({0x80})}, {'b', "A"}};
    EXPECT_EQ(ports.sends, sent);
    EXPECT_TRUE(host.steps.empty()) << "nothing was decoded";
}

TEST(MousePacketTest, EncodesFlagsCornersAndOnlyTheLowTenBits) {
    MouseState s;
    s.m_instrumentCursor = {1023, 0};
    EXPECT_EQ(encodeMousePacket(s), (MousePacket{0x80, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF}));
    s.m_instrumentCursor = {0, 1023};
    s.m_mouseActive = s.m_mouseButton = s.m_shift = s.m_ctrl = 1;
    EXPECT_EQ(encodeMousePacket(s), (MousePacket{0x80, 0xFE, 0xE0, 0xE0, 0xE0, 0xE0}));
    // Out of range is not clamped, and extreme values must not overflow.
    s.m_instrumentCursor = {1024 + 65, INT32_MIN};
    const MousePacket p = encodeMousePacket(s);
    EXPECT_EQ(p[2], 0xE1);
    EXPECT_EQ(p[3], 0xE2);
    for (uint8_t b : p) EXPECT_TRUE(b == 0x80 || b >= 0xE0);
}

}  // namespace
}  // namespace tarvik
