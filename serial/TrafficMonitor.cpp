#include "serial/TrafficMonitor.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

#include "serial/KeyNames.h"

namespace tarvik {
namespace {

constexpr uint8_t FormFeed = 0x0C;
constexpr uint8_t CarriageReturn = 0x0D;

int64_t wallClockMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// C-style: printable ASCII as it is, quotes and backslashes escaped, everything else as \xNN.
std::string quoted(const std::string& text, bool json) {
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

WireItem asWireItem(const TrafficItem& item) {
    WireItem wire;
    wire.bytes.assign(item.bytes.begin(), item.bytes.end());
    if (item.kind == TrafficItem::Kind::Key) {
        wire.key = wire.bytes.empty() ? 0 : wire.bytes[0];
    } else if (item.kind == TrafficItem::Kind::Packet) {
        wire.kind = WireItem::Kind::Packet;
        wire.packet = packetOf(item);
    } else {
        wire.kind = WireItem::Kind::Broken;
    }
    return wire;
}

// What the monitor decoded, or for an item made elsewhere, what it would have.
std::string decoded(const TrafficItem& item) { return item.decoded.empty() ? describeTrafficItem(item) : item.decoded; }

}  // namespace

WirePacket packetOf(const TrafficItem& item) {
    if (item.kind != TrafficItem::Kind::Packet || item.bytes.size() != 6) return {};
    MousePacket packet;
    std::copy(item.bytes.begin(), item.bytes.end(), packet.begin());
    return decodeWirePacket(packet);
}

std::string describeTrafficItem(const TrafficItem& item) {
    switch (item.kind) {
        case TrafficItem::Kind::Text: return "text " + quoted(item.text, false);
        case TrafficItem::Kind::Name: return "name " + quoted(item.text, false);
        default: return formatWireItem(asWireItem(item));
    }
}

std::string hexOf(const std::string& bytes) {
    std::string text;
    for (char c : bytes) {
        char item[4];
        std::snprintf(item, sizeof item, "%02X", static_cast<unsigned>(static_cast<uint8_t>(c)));
        if (!text.empty()) text += ' ';
        text += item;
    }
    return text;
}

std::string formatTrafficLine(const TrafficItem& item) {
    const std::time_t seconds = static_cast<std::time_t>(item.timeUs / 1000000);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>((item.timeUs % 1000000) / 1000));
    char head[64];
    std::snprintf(head, sizeof head, "%s %-7s %-3s  ", stamp, lineName(item.line), directionName(item.direction));
    return head + hexOf(item.bytes) + "  " + decoded(item);
}

std::string formatTrafficJson(const TrafficItem& item) {
    char head[160];
    std::snprintf(head, sizeof head, R"({"seq":%llu,"time_us":%lld,"line":"%s","direction":"%s","kind":"%s",)",
                  static_cast<unsigned long long>(item.sequence), static_cast<long long>(item.timeUs),
                  lineName(item.line), directionName(item.direction), kindName(item.kind));
    std::string json = head;
    json += R"("hex":")" + hexOf(item.bytes) + "\"";
    switch (item.kind) {
        case TrafficItem::Kind::Key: {
            const auto key = static_cast<uint8_t>(item.bytes.empty() ? 0 : item.bytes[0]);
            json += ",\"key\":" + std::to_string(key) + ",\"name\":" + quoted(keyByteName(key), true);
            break;
        }
        case TrafficItem::Kind::Packet: {
            const WirePacket p = packetOf(item);
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
        case TrafficItem::Kind::Name: json += ",\"text\":" + quoted(item.text, true); break;
    }
    return json + ",\"decoded\":" + quoted(decoded(item), true) + "}";
}

// ---- DisplayTextDecoder ----------------------------------------------------------------------

void DisplayTextDecoder::flushText(std::vector<TrafficItem>& out) {
    if (m_text.empty()) return;
    TrafficItem item;
    item.kind = TrafficItem::Kind::Text;
    item.bytes = item.text = std::exchange(m_text, {});
    out.push_back(std::move(item));
}

void DisplayTextDecoder::feed(const uint8_t* bytes, size_t length, std::vector<TrafficItem>& out) {
    for (size_t i = 0; i < length; ++i) {
        const char c = static_cast<char>(bytes[i]);
        const bool starts = bytes[i] == FormFeed || bytes[i] == CarriageReturn;
        if (!starts && !m_parser.nameCounting()) {
            m_text += c;
            continue;
        }
        if (starts) {
            flushText(out);
            // A field cut short by a new start is no name: shown as the text it was.
            m_text = std::exchange(m_field, {});
            flushText(out);
        }
        m_field += c;
        m_parser.parse(std::string(1, c), [&](const std::string& name) {
            TrafficItem item;
            item.kind = TrafficItem::Kind::Name;
            item.bytes = std::exchange(m_field, {});
            item.text = name;
            out.push_back(std::move(item));
        });
    }
    flushText(out);
}

// ---- TrafficMonitor --------------------------------------------------------------------------

TrafficMonitor::TrafficMonitor(TapFn tap, ClockFn clock)
    : m_tap(std::move(tap)),
      m_clock(clock ? std::move(clock) : ClockFn(wallClockMicros)) {}

TrafficMonitor::~TrafficMonitor() {
    if (!m_watchers.empty() && m_tap) m_tap(nullptr);
}

void TrafficMonitor::attach(TrafficWatcher& watcher) {
    if (std::find(m_watchers.begin(), m_watchers.end(), &watcher) != m_watchers.end()) return;
    m_watchers.push_back(&watcher);
    if (m_watchers.size() != 1) return;
    // Whatever was half received when the last watcher left belongs to no one now.
    reset();
    if (m_tap) m_tap(this);
}

void TrafficMonitor::detach(TrafficWatcher& watcher) {
    const auto found = std::find(m_watchers.begin(), m_watchers.end(), &watcher);
    if (found == m_watchers.end()) return;
    m_watchers.erase(found);
    if (m_watchers.empty() && m_tap) m_tap(nullptr);
}

void TrafficMonitor::reset() {
    m_displayOut = m_mergeOut = m_mergeIn = WireDecoder();
    m_displayIn = DisplayTextDecoder();
}

void TrafficMonitor::onLineTraffic(TrafficLine line, TrafficDirection direction, const uint8_t* bytes, size_t length) {
    if (m_watchers.empty() || length == 0) return;
    std::vector<TrafficItem> items;
    if (line == TrafficLine::Display && direction == TrafficDirection::In) {
        m_displayIn.feed(bytes, length, items);
    } else {
        WireDecoder& decoder = direction == TrafficDirection::In ? m_mergeIn
                               : line == TrafficLine::Display    ? m_displayOut
                                                                 : m_mergeOut;
        std::vector<WireItem> wire;
        decoder.feed(bytes, length, wire);
        for (const WireItem& w : wire) {
            TrafficItem item;
            item.kind = w.kind == WireItem::Kind::Key      ? TrafficItem::Kind::Key
                        : w.kind == WireItem::Kind::Packet ? TrafficItem::Kind::Packet
                                                           : TrafficItem::Kind::Broken;
            item.bytes.assign(w.bytes.begin(), w.bytes.end());
            items.push_back(std::move(item));
        }
    }
    const int64_t now = m_clock();
    for (TrafficItem& item : items) {
        item.sequence = ++m_sequence;
        item.timeUs = now;
        item.line = line;
        item.direction = direction;
        item.decoded = describeTrafficItem(item);
        // A copy: a watcher may detach (even the last one) while being told.
        const std::vector<TrafficWatcher*> watchers = m_watchers;
        for (TrafficWatcher* watcher : watchers) {
            if (std::find(m_watchers.begin(), m_watchers.end(), watcher) != m_watchers.end()) watcher->onTraffic(item);
        }
    }
}

}  // namespace tarvik
