#include "serial/WireStream.h"

#include <string_view>

#include "serial/KeyNames.h"

namespace tarvik {

MousePacket encodeWirePacket(const WirePacket& s) {
    MouseState state;
    state.m_instrumentCursor = {s.x, s.y};
    state.m_mouseActive = s.active;
    state.m_mouseButton = s.button;
    state.m_shift = s.shift;
    state.m_ctrl = s.ctrl;
    MousePacket packet = encodeMousePacket(state);
    if (s.bit0) packet[1] |= 0x01;
    return packet;
}

WirePacket decodeWirePacket(const MousePacket& p) {
    WirePacket s;
    s.active = (p[1] & 0x10) != 0;
    s.button = (p[1] & 0x08) != 0;
    s.shift = (p[1] & 0x04) != 0;
    s.ctrl = (p[1] & 0x02) != 0;
    s.bit0 = (p[1] & 0x01) != 0;
    s.x = ((p[3] & 0x1F) << 5) | (p[2] & 0x1F);
    s.y = 1023 - (((p[5] & 0x1F) << 5) | (p[4] & 0x1F));
    return s;
}

// Built by appending: a literal put in front of a temporary string makes GCC 12 at -O3 warn of
// an overlapping copy (-Wrestrict) in the library's own insert.
std::string formatWireItem(const WireItem& item) {
    std::string line;
    const auto word = [&line](std::string_view text) {
        if (!line.empty()) line += ' ';
        line += text;
    };
    switch (item.kind) {
        case WireItem::Kind::Key: {
            word("key");
            word(hexByte(item.key));
            const std::string name = keyByteName(item.key);
            if (!name.empty()) word(name);
            break;
        }
        case WireItem::Kind::Packet: {
            const WirePacket& m = item.packet;
            word("packet");
            word("x=");
            line += std::to_string(m.x);
            word("y=");
            line += std::to_string(m.y);
            if (m.active) word("active");
            if (m.button) word("button");
            if (m.shift) word("shift");
            if (m.ctrl) word("ctrl");
            if (m.bit0) word("bit0");
            break;
        }
        case WireItem::Kind::Broken:
            word("broken");
            for (uint8_t b : item.bytes) word(hexByte(b));
            break;
    }
    return line;
}

void WireDecoder::feed(const uint8_t* bytes, size_t length, std::vector<WireItem>& out) {
    for (size_t i = 0; i < length; ++i) {
        const uint8_t c = bytes[i];
        if (m_pending.empty() && c == PacketStart) {
            m_pending.push_back(c);
            continue;
        }
        if (!m_pending.empty() && c >= PacketBodyMin) {
            m_pending.push_back(c);
            if (m_pending.size() == 6) {
                WireItem item;
                item.kind = WireItem::Kind::Packet;
                item.packet = decodeWirePacket(
                    {m_pending[0], m_pending[1], m_pending[2], m_pending[3], m_pending[4], m_pending[5]});
                item.bytes.swap(m_pending);
                out.push_back(std::move(item));
            }
            continue;
        }
        if (!m_pending.empty()) {
            WireItem broken;
            broken.kind = WireItem::Kind::Broken;
            broken.bytes.swap(m_pending);
            out.push_back(std::move(broken));
        }
        WireItem key;
        key.key = c;
        key.bytes.assign(1, c);
        out.push_back(std::move(key));
    }
}

}  // namespace tarvik
