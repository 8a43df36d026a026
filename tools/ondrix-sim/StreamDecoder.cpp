#include "tools/ondrix-sim/StreamDecoder.h"

#include "tools/ondrix-sim/KeyNames.h"

namespace tarvik::sim {
namespace {

constexpr uint8_t kPacketStart = 0x80;
constexpr uint8_t kPacketBody = 0xE0;

uint8_t Low5(int value, int shift) { return static_cast<uint8_t>(kPacketBody | ((value >> shift) & 0x1F)); }

}  // namespace

std::array<uint8_t, 6> EncodePacket(const MouseState& s) {
    uint8_t flags = kPacketBody;
    if (s.active) flags |= 0x10;
    if (s.button) flags |= 0x08;
    if (s.shift) flags |= 0x04;
    if (s.ctrl) flags |= 0x02;
    if (s.bit0) flags |= 0x01;
    const int w = 1023 - s.y;
    return {kPacketStart, flags, Low5(s.x, 0), Low5(s.x, 5), Low5(w, 0), Low5(w, 5)};
}

MouseState DecodePacket(const std::array<uint8_t, 6>& p) {
    MouseState s;
    s.active = (p[1] & 0x10) != 0;
    s.button = (p[1] & 0x08) != 0;
    s.shift = (p[1] & 0x04) != 0;
    s.ctrl = (p[1] & 0x02) != 0;
    s.bit0 = (p[1] & 0x01) != 0;
    s.x = ((p[3] & 0x1F) << 5) | (p[2] & 0x1F);
    s.y = 1023 - (((p[5] & 0x1F) << 5) | (p[4] & 0x1F));
    return s;
}

std::string FormatItem(const StreamItem& item) {
    std::string line;
    switch (item.kind) {
        case StreamItem::Kind::Key: {
            line = "key " + HexByte(item.key);
            const std::string name = KeyByteName(item.key);
            if (!name.empty()) line += " " + name;
            break;
        }
        case StreamItem::Kind::Packet: {
            const MouseState& m = item.mouse;
            line = "packet x=" + std::to_string(m.x) + " y=" + std::to_string(m.y);
            if (m.active) line += " active";
            if (m.button) line += " button";
            if (m.shift) line += " shift";
            if (m.ctrl) line += " ctrl";
            if (m.bit0) line += " bit0";
            break;
        }
        case StreamItem::Kind::Broken:
            line = "broken";
            for (uint8_t b : item.broken) line += " " + HexByte(b);
            break;
    }
    return line;
}

void StreamDecoder::Feed(const uint8_t* bytes, size_t length, std::vector<StreamItem>& out) {
    for (size_t i = 0; i < length; ++i) {
        const uint8_t c = bytes[i];
        if (pending_.empty() && c == kPacketStart) {
            pending_.push_back(c);
            continue;
        }
        if (!pending_.empty() && c >= kPacketBody) {
            pending_.push_back(c);
            if (pending_.size() == 6) {
                StreamItem item;
                item.kind = StreamItem::Kind::Packet;
                item.mouse =
                    DecodePacket({pending_[0], pending_[1], pending_[2], pending_[3], pending_[4], pending_[5]});
                out.push_back(item);
                pending_.clear();
            }
            continue;
        }
        if (!pending_.empty()) {
            StreamItem broken;
            broken.kind = StreamItem::Kind::Broken;
            broken.broken.swap(pending_);
            out.push_back(std::move(broken));
        }
        StreamItem key;
        key.key = c;
        out.push_back(key);
    }
}

}  // namespace tarvik::sim
