#pragma once
// The keyboard line's wire stream: single key bytes and 6-byte mouse packets.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvik::sim {

// Positions as the program sees them: x from the left, y from the top, both 0 to 1023.
struct MouseState {
    int x = 0;
    int y = 0;
    bool active = false;
    bool button = false;
    bool shift = false;
    bool ctrl = false;
    bool bit0 = false;  // never set by a correct sender; shown so a fault is visible
};

struct StreamItem {
    enum class Kind { Key, Packet, Broken };
    Kind kind = Kind::Key;
    uint8_t key = 0;
    MouseState mouse;
    std::vector<uint8_t> broken;  // the bytes of a packet cut short, as they arrived
};

std::array<uint8_t, 6> EncodePacket(const MouseState& state);
MouseState DecodePacket(const std::array<uint8_t, 6>& packet);

// One line per item: "key 0x61 'a'", "packet x=65 y=892 active", "broken 0x80 0xf0".
std::string FormatItem(const StreamItem& item);

// Splits the stream into items the way the receiving end does: 0x80 opens a packet, bytes of
// 0xE0 and above continue it, anything else breaks it and is a key byte of its own. The state
// carries a packet split across reads.
class StreamDecoder {
public:
    void Feed(const uint8_t* bytes, size_t length, std::vector<StreamItem>& out);
    bool HasPending() const { return !pending_.empty(); }

private:
    std::vector<uint8_t> pending_;
};

}  // namespace tarvik::sim
