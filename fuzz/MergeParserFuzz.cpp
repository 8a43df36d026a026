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
class ports : public PortSender {
public:
    std::string out;
    size_t forwarded = 0;
    void sendByteToPorts(uint8_t byte) override {
        out.push_back(static_cast<char>(byte));
        ++forwarded;
    }
    void sendTextToPorts(const std::string& text) override {
        TARVIK_FUZZ_CHECK(!text.empty() && text.size() <= 5);
        TARVIK_FUZZ_CHECK(static_cast<uint8_t>(text[0]) == PacketStart);
        out += text;
        forwarded += text.size();
    }
    void sendBufferToPorts(const uint8_t* bytes, size_t length) override {
        TARVIK_FUZZ_CHECK(length == 6);
        TARVIK_FUZZ_CHECK(bytes[0] == PacketStart && (bytes[1] & 0x01) == 0);
        for (size_t i = 1; i < 6; ++i) TARVIK_FUZZ_CHECK(bytes[i] >= PacketBodyMin);
        out.append(reinterpret_cast<const char*>(bytes), length);
    }
};

class host : public MergeHost {
public:
    explicit host(ports& ports) : m_ports(ports) {}
    MouseState state;
    size_t decoded = 0;
    MouseState& sharedMouseState() override { return state; }
    void leaveMouseMode() override {
        state.m_mouseMode = 0;
        state.m_mouseActive = 0;
        tarvik::sendMousePacket(state, m_ports);
    }
    void refreshControls() override {}
    void sendMousePacket() override {
        ++decoded;
        tarvik::sendMousePacket(state, m_ports);
    }
    Point instrumentToScreen(Point p) override { return p; }

private:
    ports& m_ports;
};

struct Run {
    ports ports;
    host host{ports};
    MergeParser parser;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Run longLived;  // process-long state, as in the program

    std::string whole;
    const std::vector<std::string> feeds = tarvik::fuzz::SplitIntoFeeds(data, size, whole);
    if (!whole.empty()) longLived.host.state.m_mouseMode = static_cast<uint8_t>(whole[0]) & 1;

    Run once;
    once.parser.parse(whole, once.ports, once.host);

    Run pieces;
    for (const std::string& feed : feeds) {
        pieces.parser.parse(feed, pieces.ports, pieces.host);
        TARVIK_FUZZ_CHECK(pieces.parser.pendingPacket().size() <= 5);
        longLived.parser.parse(feed, longLived.ports, longLived.host);
        TARVIK_FUZZ_CHECK(longLived.parser.pendingPacket().size() <= 5);
        longLived.ports.out.clear();
    }
    TARVIK_FUZZ_CHECK(once.ports.out == pieces.ports.out);
    TARVIK_FUZZ_CHECK(once.host.decoded == pieces.host.decoded);
    const MouseState& a = once.host.state;
    const MouseState& b = pieces.host.state;
    TARVIK_FUZZ_CHECK(a.m_instrumentCursor == b.m_instrumentCursor);
    TARVIK_FUZZ_CHECK(a.m_instrumentCursor.x >= 0 && a.m_instrumentCursor.x <= 1023);
    TARVIK_FUZZ_CHECK(a.m_instrumentCursor.y >= 0 && a.m_instrumentCursor.y <= 1023);

    // Every input byte is forwarded, part of a complete packet, or still pending.
    const size_t packetBytes = whole.size() - once.ports.forwarded - once.parser.pendingPacket().size();
    TARVIK_FUZZ_CHECK(packetBytes % 6 == 0);
    TARVIK_FUZZ_CHECK(once.ports.out.size() == once.ports.forwarded + 6 * once.host.decoded);
    return 0;
}
