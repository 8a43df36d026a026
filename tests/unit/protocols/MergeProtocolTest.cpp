#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/MouseMath.h"
#include "serial/MergeProtocol.h"
#include "tests/support/LineRecorders.h"

namespace tarvik {
namespace {

using test::Bytes;
using test::RecordingPorts;
using test::Send;

// The window's side, reduced to what decoding uses; it records the order of the steps. The
// packet cases on the lines themselves are tested through the real window in the link tests.
class FakeHost : public IMergeHost {
public:
    explicit FakeHost(RecordingPorts& ports) : ports_(ports) {}
    MouseState state;
    std::vector<std::string> steps;

    MouseState& SharedMouseState() override { return state; }
    void LeaveMouseMode() override {
        steps.push_back("leave");
        state.m_bMouseMode = state.m_bShift = state.m_bCtrl = state.m_bEsc = 0;
        state.m_bMouseActive = 0;
        tarvik::SendMousePacket(state, ports_);
    }
    void RefreshControls() override { steps.push_back("refresh"); }
    void SendMousePacket() override {
        steps.push_back("send");
        tarvik::SendMousePacket(state, ports_);
    }
    Point InstrumentToScreen(Point p) override {
        steps.push_back("toScreen");
        return tarvik::InstrumentToScreen(p, 1920, 1080);
    }

private:
    RecordingPorts& ports_;
};

class MergeParserTest : public ::testing::Test {
protected:
    void Feed(const std::string& bytes) { parser.Parse(bytes, ports, host); }
    RecordingPorts ports;
    FakeHost host{ports};
    CMergeParser parser;
};

const std::string kFirst = Bytes({0x80, 0xF0, 0xE1, 0xE2, 0xE3, 0xE4});

TEST_F(MergeParserTest, FirstPacketIsDecodedAndResentThenRepeatIsDropped) {
    Feed(kFirst);
    EXPECT_EQ(host.state.m_bMouseActive, 1);
    EXPECT_EQ(host.state.m_bMouseButton, 0);
    EXPECT_EQ(host.state.m_bShift, 0);
    EXPECT_EQ(host.state.m_bCtrl, 0);
    EXPECT_EQ(host.state.m_ptInstrumentCursor, (Point{65, 892}));
    EXPECT_EQ(host.state.m_ptPcCursor, InstrumentToScreen({65, 892}, 1920, 1080));
    EXPECT_EQ(ports.sends, (std::vector<Send>{{'p', kFirst}}));
    EXPECT_EQ(host.steps, (std::vector<std::string>{"refresh", "send", "toScreen"}));

    const MouseState before = host.state;
    Feed(kFirst);
    EXPECT_EQ(ports.sends.size(), 1u);
    EXPECT_EQ(host.state.m_ptInstrumentCursor, before.m_ptInstrumentCursor);
    EXPECT_TRUE(parser.PendingPacket().empty());
}

TEST_F(MergeParserTest, DifferingPacketGoesOutWithBitZeroCleared) {
    Feed(kFirst);
    Feed(Bytes({0x80, 0xF1, 0xE1, 0xE2, 0xE3, 0xE4}));
    ASSERT_EQ(ports.sends.size(), 2u);
    EXPECT_EQ(ports.sends[1], (Send{'p', kFirst}));
    // Remembered as received, so the same odd packet again is dropped.
    Feed(Bytes({0x80, 0xF1, 0xE1, 0xE2, 0xE3, 0xE4}));
    EXPECT_EQ(ports.sends.size(), 2u);
}

TEST_F(MergeParserTest, PacketInMouseModeLeavesItBeforeTakingTheState) {
    host.state.m_bMouseMode = 1;
    host.state.m_bEsc = 1;
    Feed(Bytes({0x80, 0xE6, 0xE0, 0xE0, 0xE0, 0xE0}));  // Shift and Ctrl from the instrument
    EXPECT_EQ(host.steps, (std::vector<std::string>{"leave", "refresh", "send", "toScreen"}));
    EXPECT_EQ(host.state.m_bMouseMode, 0);
    EXPECT_EQ(host.state.m_bShift, 1);
    EXPECT_EQ(host.state.m_bCtrl, 1);
    EXPECT_EQ(host.state.m_ptInstrumentCursor, (Point{0, 1023}));
}

TEST_F(MergeParserTest, AnyByteBelowE0BreaksAPendingPacketAndStartsNothing) {
    // A 0x80 inside a packet is passed on after the broken bytes; the packet bytes that follow it
    // are then plain bytes, not a new packet.
    Feed(Bytes({0x80, 0xF0, 0x80}));
    EXPECT_TRUE(parser.PendingPacket().empty());
    Feed(Bytes({0xE1, 0xE2, 0xE3, 0xE4, 0xE5}));
    Feed(Bytes({0x80, 0x41}));
    const std::vector<Send> sent{{'t', Bytes({0x80, 0xF0})}, {'b', Bytes({0x80})}, {'b', Bytes({0xE1})},
                                 {'b', Bytes({0xE2})},       {'b', Bytes({0xE3})}, {'b', Bytes({0xE4})},
                                 {'b', Bytes({0xE5})},       {'t', Bytes({0x80})}, {'b', "A"}};
    EXPECT_EQ(ports.sends, sent);
    EXPECT_TRUE(host.steps.empty()) << "nothing was decoded";
}

TEST(MousePacketTest, EncodesFlagsCornersAndOnlyTheLowTenBits) {
    MouseState s;
    s.m_ptInstrumentCursor = {1023, 0};
    EXPECT_EQ(EncodeMousePacket(s), (MousePacket{0x80, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF}));
    s.m_ptInstrumentCursor = {0, 1023};
    s.m_bMouseActive = s.m_bMouseButton = s.m_bShift = s.m_bCtrl = 1;
    EXPECT_EQ(EncodeMousePacket(s), (MousePacket{0x80, 0xFE, 0xE0, 0xE0, 0xE0, 0xE0}));
    // Out of range is not clamped, and extreme values must not overflow.
    s.m_ptInstrumentCursor = {1024 + 65, INT32_MIN};
    const MousePacket p = EncodeMousePacket(s);
    EXPECT_EQ(p[2], 0xE1);
    EXPECT_EQ(p[3], 0xE2);
    for (uint8_t b : p) EXPECT_TRUE(b == 0x80 || b >= 0xE0);
}

}  // namespace
}  // namespace tarvik
