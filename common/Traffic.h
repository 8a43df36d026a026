#pragma once
// What passes on the two lines, as those who watch it see it: items cut from the bytes, decoded,
// numbered and stamped. The traffic monitor (serial/) makes them; the Monitor window and the bus's
// subscribers watch them. Watching is what switches the tap on, so nobody watching costs nothing.
#include <cstdint>
#include <string>

namespace tarvik {

enum class TrafficLine : uint8_t { Display, Merge };
// In: from the instrument to Tarvik. Out: from Tarvik to the instrument.
enum class TrafficDirection : uint8_t { In, Out };

struct TrafficItem {
    // Key, Packet and Broken as on the keyboard line; Text is display-line text outside a name
    // field (or a field cut short), Name a complete name field.
    enum class Kind : uint8_t { Key, Packet, Broken, Text, Name };

    uint64_t sequence = 0;  // 1, 2, ... across both lines, in the order the bytes passed
    int64_t timeUs = 0;     // wall-clock time, microseconds since 1970
    TrafficLine line = TrafficLine::Display;
    TrafficDirection direction = TrafficDirection::Out;
    Kind kind = Kind::Key;
    std::string bytes;    // as they passed
    std::string text;     // Text: the bytes as text; Name: the name (its printable bytes)
    std::string decoded;  // for people: "key 0x61 'a'", "packet x=65 y=892 active", "name \"Piano\""
};

const char* lineName(TrafficLine line);           // "display", "merge"
const char* directionName(TrafficDirection dir);  // "in", "out"
const char* kindName(TrafficItem::Kind kind);     // "key", "packet", "broken", "text", "name"
// The names above back into `item`; false if one is unknown.
bool parseTrafficItemParts(const std::string& line, const std::string& direction, const std::string& kind,
                           TrafficItem& item);

// Told of each item, on the window's thread, in order.
class TrafficWatcher {
public:
    virtual ~TrafficWatcher() = default;
    virtual void onTraffic(const TrafficItem& item) = 0;
};

class TrafficSource {
public:
    virtual ~TrafficSource() = default;
    // A watcher may attach or detach itself or another from inside onTraffic.
    virtual void attach(TrafficWatcher& watcher) = 0;
    virtual void detach(TrafficWatcher& watcher) = 0;
};

}  // namespace tarvik
