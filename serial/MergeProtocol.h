#pragma once
// The Merge Port stream: single keyboard bytes, passed on unchanged, and the 6-byte mouse packets
// of the instrument's own mouse, decoded into the shared mouse state and sent on re-encoded.
//
// Packet: 0x80, flags, x low 5 bits, x high 5 bits, w low 5 bits, w high 5 bits; bytes 1..5 each
// carry 0xE0 in their top three bits. Flags: 0x10 active, 0x08 button, 0x04 Shift, 0x02 Ctrl;
// bit 0 is sent as 0 and ignored on receipt. w = 1023 - y (the wire counts from the bottom).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/MouseState.h"
#include "common/PortSender.h"

namespace tarvik {

using MousePacket = std::array<uint8_t, 6>;

inline constexpr uint8_t PacketStart = 0x80;
inline constexpr uint8_t PacketBodyMin = 0xE0;

// The packet for `state`. Only the low 10 bits of x and w reach the wire; nothing is clamped.
MousePacket encodeMousePacket(const MouseState& state);

// Encodes `state` and writes it as one buffer of 6 bytes.
void sendMousePacket(const MouseState& state, PortSender& ports);

// What decoding a packet needs from the window that owns the state.
class MergeHost {
public:
    virtual ~MergeHost() = default;
    virtual MouseState& sharedMouseState() = 0;
    // Ends PC mouse capture (clears mode, Esc, Shift, Ctrl; sends its own packet).
    virtual void leaveMouseMode() = 0;
    // Shows the members in the controls, so Shft and Ctrl follow the instrument.
    virtual void refreshControls() = 0;
    virtual void sendMousePacket() = 0;
    // The instrument position in virtual-screen units (the window knows W and H).
    virtual Point instrumentToScreen(Point instrument) = 0;
};

// Takes packet p into the shared state through `host`, in the order the window relies on:
// leave mouse mode if on, take the flags, refresh controls, take the position, send the packet
// re-encoded, move the virtual PC cursor to match.
void applyInstrumentPacket(const MousePacket& p, MergeHost& host);

class MergeParser {
public:
    // Handles every byte of `bytes` in order. Forwarded and broken-packet bytes go to `ports`;
    // a complete packet that differs from the last one decoded goes to `host`.
    void parse(const std::string& bytes, PortSender& ports, MergeHost& host);

    // Bytes of a packet still being received (0..5 between calls).
    const std::string& pendingPacket() const { return m_pendingPacket; }
    bool hasLastInstrumentPacket() const { return m_hasLastPacket; }
    const MousePacket& lastInstrumentPacket() const { return m_lastInstrumentPacket; }

private:
    void parseByte(uint8_t c, PortSender& ports, MergeHost& host);
    void completePacket(MergeHost& host);

    std::string m_pendingPacket;
    MousePacket m_lastInstrumentPacket{};
    bool m_hasLastPacket = false;  // nothing decoded yet: the first packet always differs
};

}  // namespace tarvik
