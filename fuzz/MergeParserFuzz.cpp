// Random Merge Port bytes: the parser must never crash, never hold more than 5 pending bytes,
// never lose or invent a byte, send only well-formed packets, and not care how the stream was cut.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "serial/MergeProtocol.h"

namespace {

using namespace tarvik;

// Records the outgoing stream and counts what was forwarded as received.
class Ports : public IPortSender {
public:
    std::string out;
    size_t forwarded = 0;
    void SendByteToPorts(uint8_t byte) override {
        out.push_back(static_cast<char>(byte));
        ++forwarded;
    }
    void SendTextToPorts(const std::string& text) override {
        TARVIK_FUZZ_CHECK(!text.empty() && text.size() <= 5);
        TARVIK_FUZZ_CHECK(static_cast<uint8_t>(text[0]) == kPacketStart);
        out += text;
        forwarded += text.size();
    }
    void SendBufferToPorts(const uint8_t* bytes, size_t length) override {
        TARVIK_FUZZ_CHECK(length == 6);
        TARVIK_FUZZ_CHECK(bytes[0] == kPacketStart && (bytes[1] & 0x01) == 0);
        for (size_t i = 1; i < 6; ++i) TARVIK_FUZZ_CHECK(bytes[i] >= kPacketBodyMin);
        out.append(reinterpret_cast<const char*>(bytes), length);
    }
};

class Host : public IMergeHost {
public:
    explicit Host(Ports& ports) : ports_(ports) {}
    MouseState state;
    size_t decoded = 0;
    MouseState& SharedMouseState() override { return state; }
    void LeaveMouseMode() override {
        state.m_bMouseMode = 0;
        state.m_bMouseActive = 0;
        tarvik::SendMousePacket(state, ports_);
    }
    void RefreshControls() override {}
    void SendMousePacket() override {
        ++decoded;
        tarvik::SendMousePacket(state, ports_);
    }
    Point InstrumentToScreen(Point p) override { return p; }

private:
    Ports& ports_;
};

struct Run {
    Ports ports;
    Host host{ports};
    CMergeParser parser;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Run longLived;  // process-long state, as in the program

    std::string whole;
    const std::vector<std::string> feeds = tarvik::fuzz::SplitIntoFeeds(data, size, whole);
    if (!whole.empty()) longLived.host.state.m_bMouseMode = static_cast<uint8_t>(whole[0]) & 1;

    Run once;
    once.parser.Parse(whole, once.ports, once.host);

    Run pieces;
    for (const std::string& feed : feeds) {
        pieces.parser.Parse(feed, pieces.ports, pieces.host);
        TARVIK_FUZZ_CHECK(pieces.parser.PendingPacket().size() <= 5);
        longLived.parser.Parse(feed, longLived.ports, longLived.host);
        TARVIK_FUZZ_CHECK(longLived.parser.PendingPacket().size() <= 5);
        longLived.ports.out.clear();
    }
    TARVIK_FUZZ_CHECK(once.ports.out == pieces.ports.out);
    TARVIK_FUZZ_CHECK(once.host.decoded == pieces.host.decoded);
    const MouseState& a = once.host.state;
    const MouseState& b = pieces.host.state;
    TARVIK_FUZZ_CHECK(a.m_ptInstrumentCursor == b.m_ptInstrumentCursor);
    TARVIK_FUZZ_CHECK(a.m_ptInstrumentCursor.x >= 0 && a.m_ptInstrumentCursor.x <= 1023);
    TARVIK_FUZZ_CHECK(a.m_ptInstrumentCursor.y >= 0 && a.m_ptInstrumentCursor.y <= 1023);

    // Every input byte is forwarded, part of a complete packet, or still pending.
    const size_t packetBytes = whole.size() - once.ports.forwarded - once.parser.PendingPacket().size();
    TARVIK_FUZZ_CHECK(packetBytes % 6 == 0);
    TARVIK_FUZZ_CHECK(once.ports.out.size() == once.ports.forwarded + 6 * once.host.decoded);
    return 0;
}
