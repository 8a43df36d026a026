#include "serial/TrafficMonitor.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

#include "serial/KeyNames.h"

namespace tarvik {
namespace {

constexpr uint8_t kFormFeed = 0x0C;
constexpr uint8_t kCarriageReturn = 0x0D;

int64_t WallClockMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// C-style: printable ASCII as it is, quotes and backslashes escaped, everything else as \xNN.
std::string Quoted(const std::string& text, bool json) {
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<uint8_t>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            char code[8];
            std::snprintf(code, sizeof code, json ? "\\u%04x" : "\\x%02x", c);
            out += code;
        }
    }
    return out + "\"";
}

WireItem AsWireItem(const TrafficItem& item) {
    WireItem wire;
    wire.bytes.assign(item.bytes.begin(), item.bytes.end());
    if (item.kind == TrafficItem::Kind::Key) {
        wire.key = wire.bytes.empty() ? 0 : wire.bytes[0];
    } else if (item.kind == TrafficItem::Kind::Packet) {
        wire.kind = WireItem::Kind::Packet;
        wire.packet = PacketOf(item);
    } else {
        wire.kind = WireItem::Kind::Broken;
    }
    return wire;
}

// What the monitor decoded, or for an item made elsewhere, what it would have.
std::string Decoded(const TrafficItem& item) { return item.decoded.empty() ? DescribeTrafficItem(item) : item.decoded; }

}  // namespace

WirePacket PacketOf(const TrafficItem& item) {
    if (item.kind != TrafficItem::Kind::Packet || item.bytes.size() != 6) return {};
    MousePacket packet;
    std::copy(item.bytes.begin(), item.bytes.end(), packet.begin());
    return DecodeWirePacket(packet);
}

std::string DescribeTrafficItem(const TrafficItem& item) {
    switch (item.kind) {
        case TrafficItem::Kind::Text: return "text " + Quoted(item.text, false);
        case TrafficItem::Kind::Name: return "name " + Quoted(item.text, false);
        default: return FormatWireItem(AsWireItem(item));
    }
}

std::string HexOf(const std::string& bytes) {
    std::string text;
    for (char c : bytes) {
        char item[4];
        std::snprintf(item, sizeof item, "%02X", static_cast<unsigned>(static_cast<uint8_t>(c)));
        if (!text.empty()) text += ' ';
        text += item;
    }
    return text;
}

std::string FormatTrafficLine(const TrafficItem& item) {
    const std::time_t seconds = static_cast<std::time_t>(item.timeUs / 1000000);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>((item.timeUs % 1000000) / 1000));
    char head[64];
    std::snprintf(head, sizeof head, "%s %-7s %-3s  ", stamp, LineName(item.line), DirectionName(item.direction));
    return head + HexOf(item.bytes) + "  " + Decoded(item);
}

std::string FormatTrafficJson(const TrafficItem& item) {
    char head[160];
    std::snprintf(head, sizeof head, R"({"seq":%llu,"time_us":%lld,"line":"%s","direction":"%s","kind":"%s",)",
                  static_cast<unsigned long long>(item.sequence), static_cast<long long>(item.timeUs),
                  LineName(item.line), DirectionName(item.direction), KindName(item.kind));
    std::string json = head;
    json += R"("hex":")" + HexOf(item.bytes) + "\"";
    switch (item.kind) {
        case TrafficItem::Kind::Key: {
            const auto key = static_cast<uint8_t>(item.bytes.empty() ? 0 : item.bytes[0]);
            json += ",\"key\":" + std::to_string(key) + ",\"name\":" + Quoted(KeyByteName(key), true);
            break;
        }
        case TrafficItem::Kind::Packet: {
            const WirePacket p = PacketOf(item);
            json += ",\"x\":" + std::to_string(p.x) + ",\"y\":" + std::to_string(p.y);
            const std::pair<bool, const char*> flags[] = {
                {p.active, "active"}, {p.button, "button"}, {p.shift, "shift"}, {p.ctrl, "ctrl"}, {p.bit0, "bit0"}};
            std::string list;
            for (const auto& [set, name] : flags) {
                if (set) list += std::string(list.empty() ? "" : ",") + "\"" + name + "\"";
            }
            json += ",\"flags\":[" + list + "]";
            break;
        }
        case TrafficItem::Kind::Broken: break;
        case TrafficItem::Kind::Text:
        case TrafficItem::Kind::Name: json += ",\"text\":" + Quoted(item.text, true); break;
    }
    return json + ",\"decoded\":" + Quoted(Decoded(item), true) + "}";
}

// ---- CDisplayTextDecoder ----------------------------------------------------------------------

void CDisplayTextDecoder::FlushText(std::vector<TrafficItem>& out) {
    if (text_.empty()) return;
    TrafficItem item;
    item.kind = TrafficItem::Kind::Text;
    item.bytes = item.text = std::exchange(text_, {});
    out.push_back(std::move(item));
}

void CDisplayTextDecoder::Feed(const uint8_t* bytes, size_t length, std::vector<TrafficItem>& out) {
    for (size_t i = 0; i < length; ++i) {
        const char c = static_cast<char>(bytes[i]);
        const bool starts = bytes[i] == kFormFeed || bytes[i] == kCarriageReturn;
        if (!starts && !parser_.NameCounting()) {
            text_ += c;
            continue;
        }
        if (starts) {
            FlushText(out);
            // A field cut short by a new start is no name: shown as the text it was.
            text_ = std::exchange(field_, {});
            FlushText(out);
        }
        field_ += c;
        parser_.Parse(std::string(1, c), [&](const std::string& name) {
            TrafficItem item;
            item.kind = TrafficItem::Kind::Name;
            item.bytes = std::exchange(field_, {});
            item.text = name;
            out.push_back(std::move(item));
        });
    }
    FlushText(out);
}

// ---- CTrafficMonitor --------------------------------------------------------------------------

CTrafficMonitor::CTrafficMonitor(TapFn tap, ClockFn clock)
    : tap_(std::move(tap)),
      clock_(clock ? std::move(clock) : ClockFn(WallClockMicros)) {}

CTrafficMonitor::~CTrafficMonitor() {
    if (!watchers_.empty() && tap_) tap_(nullptr);
}

void CTrafficMonitor::Attach(ITrafficWatcher& watcher) {
    if (std::find(watchers_.begin(), watchers_.end(), &watcher) != watchers_.end()) return;
    watchers_.push_back(&watcher);
    if (watchers_.size() != 1) return;
    // Whatever was half received when the last watcher left belongs to no one now.
    Reset();
    if (tap_) tap_(this);
}

void CTrafficMonitor::Detach(ITrafficWatcher& watcher) {
    const auto found = std::find(watchers_.begin(), watchers_.end(), &watcher);
    if (found == watchers_.end()) return;
    watchers_.erase(found);
    if (watchers_.empty() && tap_) tap_(nullptr);
}

void CTrafficMonitor::Reset() {
    displayOut_ = mergeOut_ = mergeIn_ = CWireDecoder();
    displayIn_ = CDisplayTextDecoder();
}

void CTrafficMonitor::OnLineTraffic(TrafficLine line, TrafficDirection direction, const uint8_t* bytes, size_t length) {
    if (watchers_.empty() || length == 0) return;
    std::vector<TrafficItem> items;
    if (line == TrafficLine::Display && direction == TrafficDirection::In) {
        displayIn_.Feed(bytes, length, items);
    } else {
        CWireDecoder& decoder = direction == TrafficDirection::In ? mergeIn_
                                : line == TrafficLine::Display    ? displayOut_
                                                                  : mergeOut_;
        std::vector<WireItem> wire;
        decoder.Feed(bytes, length, wire);
        for (const WireItem& w : wire) {
            TrafficItem item;
            item.kind = w.kind == WireItem::Kind::Key      ? TrafficItem::Kind::Key
                        : w.kind == WireItem::Kind::Packet ? TrafficItem::Kind::Packet
                                                           : TrafficItem::Kind::Broken;
            item.bytes.assign(w.bytes.begin(), w.bytes.end());
            items.push_back(std::move(item));
        }
    }
    const int64_t now = clock_();
    for (TrafficItem& item : items) {
        item.sequence = ++sequence_;
        item.timeUs = now;
        item.line = line;
        item.direction = direction;
        item.decoded = DescribeTrafficItem(item);
        // A copy: a watcher may detach (even the last one) while being told.
        const std::vector<ITrafficWatcher*> watchers = watchers_;
        for (ITrafficWatcher* watcher : watchers) {
            if (std::find(watchers_.begin(), watchers_.end(), watcher) != watchers_.end()) watcher->OnTraffic(item);
        }
    }
}

}  // namespace tarvik
