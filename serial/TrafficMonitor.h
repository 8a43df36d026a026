#pragma once
// The traffic on both lines as someone watching it sees it: every byte written to and drained from
// each line, cut into items (keys by name, mouse packets with their position and flags, display
// text and instrument names), numbered in the order they passed and stamped with the time. The
// lines are tapped only while someone watches, so nobody watching costs nothing.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Traffic.h"
#include "serial/DisplayProtocol.h"
#include "serial/WireStream.h"

namespace tarvik {

// What a packet item's bytes say; all zero for other kinds.
WirePacket packetOf(const TrafficItem& item);

// The decoded part (what the monitor puts in `decoded`): "key 0x61 'a'", "packet x=65 y=892
// active shift", "broken 0x80 0xf0", "text \"Ready\\x0d\"", "name \"Grand Piano \"".
std::string describeTrafficItem(const TrafficItem& item);
// "80 F0 E1" for the bytes 0x80 0xF0 0xE1.
std::string hexOf(const std::string& bytes);
// One line for people: local time to the millisecond, line, direction, hex, decoded.
//   "14:03:07.125 merge   out  80 F0 E1 E2 E3 E4  packet x=65 y=892 active"
std::string formatTrafficLine(const TrafficItem& item);
// One line of JSON for scripts, with the decoded fields of its kind.
std::string formatTrafficJson(const TrafficItem& item);

// The display line's text from the instrument, cut where the program's own parser cuts it: a name
// field is its form feed or carriage return and the twelve bytes after it.
class DisplayTextDecoder {
public:
    // Appends the items that `bytes` completes: text outside fields at once, a field once complete.
    void feed(const uint8_t* bytes, size_t length, std::vector<TrafficItem>& out);

private:
    void flushText(std::vector<TrafficItem>& out);

    DisplayParser m_parser;
    std::string m_text;   // text outside a field, not yet handed out
    std::string m_field;  // the field being received, from its start byte
};

// What the port manager calls with each line's bytes, on the window's thread.
class TrafficTap {
public:
    virtual ~TrafficTap() = default;
    virtual void onLineTraffic(TrafficLine line, TrafficDirection direction, const uint8_t* bytes, size_t length) = 0;
};

// The decoding and the watchers. `tap` is called with this monitor when the first watcher comes
// and with null when the last one goes, so the lines are tapped only while someone watches.
class TrafficMonitor : public TrafficTap, public TrafficSource {
public:
    using TapFn = std::function<void(TrafficTap*)>;
    using ClockFn = std::function<int64_t()>;  // microseconds since 1970

    explicit TrafficMonitor(TapFn tap, ClockFn clock = {});
    ~TrafficMonitor() override;
    TrafficMonitor(const TrafficMonitor&) = delete;
    TrafficMonitor& operator=(const TrafficMonitor&) = delete;

    void attach(TrafficWatcher& watcher) override;
    void detach(TrafficWatcher& watcher) override;
    bool isWatched() const { return !m_watchers.empty(); }

    void onLineTraffic(TrafficLine line, TrafficDirection direction, const uint8_t* bytes, size_t length) override;

private:
    void reset();

    TapFn m_tap;
    ClockFn m_clock;
    std::vector<TrafficWatcher*> m_watchers;
    uint64_t m_sequence = 0;
    // The keyboard-line stream: both lines out, and the Merge Port in.
    WireDecoder m_displayOut, m_mergeOut, m_mergeIn;
    DisplayTextDecoder m_displayIn;
};

}  // namespace tarvik
