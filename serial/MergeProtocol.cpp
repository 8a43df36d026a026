#include "serial/MergeProtocol.h"

namespace tarvik {

namespace {

constexpr uint8_t FlagActive = 0x10;
constexpr uint8_t FlagButton = 0x08;
constexpr uint8_t FlagShift = 0x04;
constexpr uint8_t FlagCtrl = 0x02;
constexpr size_t PacketSize = 6;

uint8_t low5(uint32_t v) { return static_cast<uint8_t>(PacketBodyMin | (v & 0x1F)); }
uint8_t high5(uint32_t v) { return static_cast<uint8_t>(PacketBodyMin | ((v >> 5) & 0x1F)); }
int32_t tenBits(uint8_t low, uint8_t high) { return ((high & 0x1F) << 5) | (low & 0x1F); }

}  // namespace

MousePacket encodeMousePacket(const MouseState& state) {
    uint8_t flags = PacketBodyMin;
    if (state.m_mouseActive) flags |= FlagActive;
    if (state.m_mouseButton) flags |= FlagButton;
    if (state.m_shift) flags |= FlagShift;
    if (state.m_ctrl) flags |= FlagCtrl;
    // Unsigned arithmetic: positions from clients may be anything, and only the low bits count.
    const uint32_t x = static_cast<uint32_t>(state.m_instrumentCursor.x);
    const uint32_t w = 1023u - static_cast<uint32_t>(state.m_instrumentCursor.y);
    return {PacketStart, flags, low5(x), high5(x), low5(w), high5(w)};
}

void sendMousePacket(const MouseState& state, PortSender& ports) {
    const MousePacket packet = encodeMousePacket(state);
    ports.sendBufferToPorts(packet.data(), packet.size());
}

void applyInstrumentPacket(const MousePacket& p, MergeHost& host) {
    if (host.sharedMouseState().m_mouseMode) host.leaveMouseMode();
    // Re-fetched after leaveMouseMode, which may have rewritten the state.
    MouseState& state = host.sharedMouseState();
    state.m_mouseActive = (p[1] & FlagActive) ? 1 : 0;
    state.m_mouseButton = (p[1] & FlagButton) ? 1 : 0;
    state.m_shift = (p[1] & FlagShift) ? 1 : 0;
    state.m_ctrl = (p[1] & FlagCtrl) ? 1 : 0;
    host.refreshControls();
    state.m_instrumentCursor = {tenBits(p[2], p[3]), 1023 - tenBits(p[4], p[5])};
    host.sendMousePacket();
    state.m_pcCursor = host.instrumentToScreen(state.m_instrumentCursor);
}

void MergeParser::parse(const std::string& bytes, PortSender& ports, MergeHost& host) {
    for (char ch : bytes) parseByte(static_cast<uint8_t>(ch), ports, host);
}

void MergeParser::parseByte(uint8_t c, PortSender& ports, MergeHost& host) {
    if (m_pendingPacket.empty()) {
        if (c == PacketStart) {
            m_pendingPacket.push_back(static_cast<char>(c));
        } else {
            ports.sendByteToPorts(c);
        }
        return;
    }
    if (c >= PacketBodyMin) {
        m_pendingPacket.push_back(static_cast<char>(c));
        if (m_pendingPacket.size() == PacketSize) completePacket(host);
        return;
    }
    // A byte that cannot belong to a packet: the broken packet and that byte go on as they came,
    // and the byte (even 0x80) does not start a new packet.
    const std::string broken = std::move(m_pendingPacket);
    m_pendingPacket.clear();
    ports.sendTextToPorts(broken);
    ports.sendByteToPorts(c);
}

void MergeParser::completePacket(MergeHost& host) {
    MousePacket p{};
    for (size_t i = 0; i < PacketSize; ++i) p[i] = static_cast<uint8_t>(m_pendingPacket[i]);
    // Emptied first, so whatever the host sends while decoding starts from a clean parser.
    m_pendingPacket.clear();
    if (m_hasLastPacket && p == m_lastInstrumentPacket) return;
    applyInstrumentPacket(p, host);
    m_lastInstrumentPacket = p;
    m_hasLastPacket = true;
}

}  // namespace tarvik
