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

inline constexpr uint8_t kPacketStart = 0x80;
inline constexpr uint8_t kPacketBodyMin = 0xE0;

// The packet for `state`. Only the low 10 bits of x and w reach the wire; nothing is clamped.
MousePacket EncodeMousePacket(const MouseState& state);

// Encodes `state` and writes it as one buffer of 6 bytes.
void SendMousePacket(const MouseState& state, IPortSender& ports);

// What decoding a packet needs from the window that owns the state.
class IMergeHost {
public:
    virtual ~IMergeHost() = default;
    virtual MouseState& SharedMouseState() = 0;
    // Ends PC mouse capture (clears mode, Esc, Shift, Ctrl; sends its own packet).
    virtual void LeaveMouseMode() = 0;
    // Shows the members in the controls, so Shft and Ctrl follow the instrument.
    virtual void RefreshControls() = 0;
    virtual void SendMousePacket() = 0;
    // The instrument position in virtual-screen units (the window knows W and H).
    virtual Point InstrumentToScreen(Point instrument) = 0;
};

// Takes packet p into the shared state through `host`, in the order the window relies on:
// leave mouse mode if on, take the flags, refresh controls, take the position, send the packet
// re-encoded, move the virtual PC cursor to match.
void ApplyInstrumentPacket(const MousePacket& p, IMergeHost& host);

class CMergeParser {
public:
    // Handles every byte of `bytes` in order. Forwarded and broken-packet bytes go to `ports`;
    // a complete packet that differs from the last one decoded goes to `host`.
    void Parse(const std::string& bytes, IPortSender& ports, IMergeHost& host);

    // Bytes of a packet still being received (0..5 between calls).
    const std::string& PendingPacket() const { return pendingPacket_; }
    bool HasLastInstrumentPacket() const { return hasLastPacket_; }
    const MousePacket& LastInstrumentPacket() const { return lastInstrumentPacket_; }

private:
    void ParseByte(uint8_t c, IPortSender& ports, IMergeHost& host);
    void CompletePacket(IMergeHost& host);

    std::string pendingPacket_;
    MousePacket lastInstrumentPacket_{};
    bool hasLastPacket_ = false;  // nothing decoded yet: the first packet always differs
};

}  // namespace tarvik
