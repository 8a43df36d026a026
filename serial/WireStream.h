#pragma once
// The keyboard line's wire stream read back as items: single key bytes, 6-byte mouse packets with
// their flags, and packets cut short. For those who watch the stream (the simulated instrument,
// the traffic monitor); the program's own parsing is MergeParser.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "serial/MergeProtocol.h"

namespace tarvik {

// Positions as the program sees them: x from the left, y from the top, both 0 to 1023.
struct WirePacket {
    int x = 0;
    int y = 0;
    bool active = false;
    bool button = false;
    bool shift = false;
    bool ctrl = false;
    bool bit0 = false;  // never set by a correct sender; shown so a fault is visible
};

struct WireItem {
    enum class Kind { Key, Packet, Broken };
    Kind kind = Kind::Key;
    uint8_t key = 0;
    WirePacket packet;
    std::vector<uint8_t> bytes;  // the item's bytes as they arrived (for Broken, the packet cut short)
};

MousePacket encodeWirePacket(const WirePacket& state);
WirePacket decodeWirePacket(const MousePacket& packet);

// One line per item: "key 0x61 'a'", "packet x=65 y=892 active", "broken 0x80 0xf0".
std::string formatWireItem(const WireItem& item);

// Splits the stream into items the way the receiving end does: 0x80 opens a packet, bytes of
// 0xE0 and above continue it, anything else breaks it and is a key byte of its own. The state
// carries a packet split across reads.
class WireDecoder {
public:
    void feed(const uint8_t* bytes, size_t length, std::vector<WireItem>& out);
    bool hasPending() const { return !m_pending.empty(); }

private:
    std::vector<uint8_t> m_pending;
};

}  // namespace tarvik
