// Random bytes on each line and direction through the traffic monitor: it must never crash, never
// lose or invent a byte (the items' bytes are the input, less at most one unfinished item), cut
// the stream the same however it arrived, and format every item as one line of text and of JSON.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "serial/TrafficMonitor.h"

namespace {

using namespace tarvik;

struct Recorder : TrafficWatcher {
    std::string bytes;
    std::vector<std::string> solid;  // items other than text, which is cut where the reads end
    void onTraffic(const TrafficItem& item) override {
        bytes += item.bytes;
        if (item.kind != TrafficItem::Kind::Text) solid.push_back(item.bytes);
        for (const std::string& line : {formatTrafficLine(item), formatTrafficJson(item)}) {
            for (char c : line) TARVIK_FUZZ_CHECK(static_cast<uint8_t>(c) >= 0x20 && static_cast<uint8_t>(c) < 0x7F);
        }
        if (item.kind == TrafficItem::Kind::Packet) TARVIK_FUZZ_CHECK(item.bytes.size() == 6);
        if (item.kind == TrafficItem::Kind::Name) TARVIK_FUZZ_CHECK(item.bytes.size() == 13);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string whole;
    const std::vector<std::string> feeds = tarvik::fuzz::SplitIntoFeeds(data, size, whole);
    const auto line = size > 0 && (data[0] & 0x80) ? TrafficLine::Merge : TrafficLine::Display;
    const auto direction = size > 0 && (data[0] & 0x40) ? TrafficDirection::Out : TrafficDirection::In;
    const bool displayText = line == TrafficLine::Display && direction == TrafficDirection::In;

    TrafficMonitor once([](TrafficTap*) {});
    Recorder onceSeen;
    once.attach(onceSeen);
    once.onLineTraffic(line, direction, reinterpret_cast<const uint8_t*>(whole.data()), whole.size());

    TrafficMonitor pieces([](TrafficTap*) {});
    Recorder piecesSeen;
    pieces.attach(piecesSeen);
    for (const std::string& feed : feeds) {
        pieces.onLineTraffic(line, direction, reinterpret_cast<const uint8_t*>(feed.data()), feed.size());
    }

    TARVIK_FUZZ_CHECK(onceSeen.solid == piecesSeen.solid);
    TARVIK_FUZZ_CHECK(onceSeen.bytes == piecesSeen.bytes);
    TARVIK_FUZZ_CHECK(whole.compare(0, onceSeen.bytes.size(), onceSeen.bytes) == 0);
    // What is held back is one unfinished packet (at most 5 bytes) or name field (at most 12).
    TARVIK_FUZZ_CHECK(whole.size() - onceSeen.bytes.size() <= (displayText ? 12u : 5u));
    return 0;
}
