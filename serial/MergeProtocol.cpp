#include "serial/MergeProtocol.h"

namespace tarvik {

namespace {

constexpr uint8_t kFlagActive = 0x10;
constexpr uint8_t kFlagButton = 0x08;
constexpr uint8_t kFlagShift = 0x04;
constexpr uint8_t kFlagCtrl = 0x02;
constexpr size_t kPacketSize = 6;

uint8_t Low5(uint32_t v) { return static_cast<uint8_t>(kPacketBodyMin | (v & 0x1F)); }
uint8_t High5(uint32_t v) { return static_cast<uint8_t>(kPacketBodyMin | ((v >> 5) & 0x1F)); }
int32_t TenBits(uint8_t low, uint8_t high) { return ((high & 0x1F) << 5) | (low & 0x1F); }

}  // namespace

MousePacket EncodeMousePacket(const MouseState& state) {
    uint8_t flags = kPacketBodyMin;
    if (state.m_bMouseActive) flags |= kFlagActive;
    if (state.m_bMouseButton) flags |= kFlagButton;
    if (state.m_bShift) flags |= kFlagShift;
    if (state.m_bCtrl) flags |= kFlagCtrl;
    // Unsigned arithmetic: positions from clients may be anything, and only the low bits count.
    const uint32_t x = static_cast<uint32_t>(state.m_ptInstrumentCursor.x);
    const uint32_t w = 1023u - static_cast<uint32_t>(state.m_ptInstrumentCursor.y);
    return {kPacketStart, flags, Low5(x), High5(x), Low5(w), High5(w)};
}

void SendMousePacket(const MouseState& state, IPortSender& ports) {
    const MousePacket packet = EncodeMousePacket(state);
    ports.SendBufferToPorts(packet.data(), packet.size());
}

void ApplyInstrumentPacket(const MousePacket& p, IMergeHost& host) {
    if (host.SharedMouseState().m_bMouseMode) host.LeaveMouseMode();
    // Re-fetched after LeaveMouseMode, which may have rewritten the state.
    MouseState& state = host.SharedMouseState();
    state.m_bMouseActive = (p[1] & kFlagActive) ? 1 : 0;
    state.m_bMouseButton = (p[1] & kFlagButton) ? 1 : 0;
    state.m_bShift = (p[1] & kFlagShift) ? 1 : 0;
    state.m_bCtrl = (p[1] & kFlagCtrl) ? 1 : 0;
    host.RefreshControls();
    state.m_ptInstrumentCursor = {TenBits(p[2], p[3]), 1023 - TenBits(p[4], p[5])};
    host.SendMousePacket();
    state.m_ptPcCursor = host.InstrumentToScreen(state.m_ptInstrumentCursor);
}

void CMergeParser::Parse(const std::string& bytes, IPortSender& ports, IMergeHost& host) {
    for (char ch : bytes) ParseByte(static_cast<uint8_t>(ch), ports, host);
}

void CMergeParser::ParseByte(uint8_t c, IPortSender& ports, IMergeHost& host) {
    if (pendingPacket_.empty()) {
        if (c == kPacketStart) {
            pendingPacket_.push_back(static_cast<char>(c));
        } else {
            ports.SendByteToPorts(c);
        }
        return;
    }
    if (c >= kPacketBodyMin) {
        pendingPacket_.push_back(static_cast<char>(c));
        if (pendingPacket_.size() == kPacketSize) CompletePacket(host);
        return;
    }
    // A byte that cannot belong to a packet: the broken packet and that byte go on as they came,
    // and the byte (even 0x80) does not start a new packet.
    const std::string broken = std::move(pendingPacket_);
    pendingPacket_.clear();
    ports.SendTextToPorts(broken);
    ports.SendByteToPorts(c);
}

void CMergeParser::CompletePacket(IMergeHost& host) {
    MousePacket p{};
    for (size_t i = 0; i < kPacketSize; ++i) p[i] = static_cast<uint8_t>(pendingPacket_[i]);
    // Emptied first, so whatever the host sends while decoding starts from a clean parser.
    pendingPacket_.clear();
    if (hasLastPacket_ && p == lastInstrumentPacket_) return;
    ApplyInstrumentPacket(p, host);
    lastInstrumentPacket_ = p;
    hasLastPacket_ = true;
}

}  // namespace tarvik
