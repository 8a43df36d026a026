#include "serial/TrafficMonitor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "tests/support/FakeLine.h"
#include "tests/support/PortRig.h"

namespace tarvik::test {
namespace {

struct RecordingWatcher : TrafficWatcher {
    std::vector<TrafficItem> items;
    std::function<void()> onItem;
    void onTraffic(const TrafficItem& item) override {
        items.push_back(item);
        if (onItem) onItem();
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const TrafficItem& item : items) {
            lines.push_back(std::to_string(item.sequence) + " " + lineName(item.line) + " " +
                            directionName(item.direction) + " " + hexOf(item.bytes) + " | " +
                            describeTrafficItem(item));
        }
        return lines;
    }
};

class TrafficMonitorTest : public ::testing::Test, public PortRig<FakeLines> {
protected:
    std::shared_ptr<FakeLineState> com1 = lines.line("COM1");
    std::shared_ptr<FakeLineState> com2 = lines.line("COM2");
    TrafficTap* tapped = nullptr;
    TrafficMonitor monitor{[this](TrafficTap* tap) { manager.setTrafficTap(tapped = tap); },
                           [] { return int64_t{42}; }};
    RecordingWatcher watcher;
};

TEST_F(TrafficMonitorTest, AKnownSequenceDecodesExactlyAndInOrderOnBothLinesAndDirections) {
    openWith(1, 2);
    monitor.attach(watcher);
    manager.sendByteToPorts('a');
    const uint8_t packet[] = {0x80, 0xF4, 0xE1, 0xE2, 0xE3, 0xE4};
    manager.sendBufferToPorts(packet, sizeof packet);
    // The instrument's keyboard: a key, then a packet split across two notifications.
    com2->arrive("\x81\x80\xF0");
    com2->arrive("\xE1\xE2\xE3\xE4");
    // The display line: text, a name field, and a field cut short by the next one.
    com1->arrive(
        "Ready\r\x0cGrand Piano \x0d"
        "Cut\x0c");
    manager.sendTextToPorts("\x0c");
    EXPECT_EQ(watcher.Lines(), (std::vector<std::string>{
                                   "1 display out 61 | key 0x61 'a'",
                                   "2 merge out 61 | key 0x61 'a'",
                                   "3 display out 80 F4 E1 E2 E3 E4 | packet x=65 y=892 active shift",
                                   "4 merge out 80 F4 E1 E2 E3 E4 | packet x=65 y=892 active shift",
                                   "5 merge in 81 | key 0x81 F1",
                                   "6 merge in 80 F0 E1 E2 E3 E4 | packet x=65 y=892 active",
                                   "7 display in 52 65 61 64 79 | text \"Ready\"",
                                   "8 display in 0D | text \"\\x0d\"",
                                   "9 display in 0C 47 72 61 6E 64 20 50 69 61 6E 6F 20 | name \"Grand Piano \"",
                                   "10 display in 0D 43 75 74 | text \"\\x0dCut\"",
                                   "11 display out 0C | key 0x0c FF",
                                   "12 merge out 0C | key 0x0c FF",
                               }));
    for (const TrafficItem& item : watcher.items) EXPECT_EQ(item.timeUs, 42);
}

TEST_F(TrafficMonitorTest, TheLinesAreTappedOnlyWhileSomeoneWatches) {
    openWith(1, 2);
    manager.sendByteToPorts('x');
    RecordingWatcher second;
    monitor.attach(watcher);
    monitor.attach(second);
    monitor.detach(watcher);
    manager.sendByteToPorts('y');
    EXPECT_TRUE(watcher.items.empty());
    ASSERT_EQ(second.items.size(), 2u);
    EXPECT_EQ(second.items[0].sequence, 1u) << "what passed unwatched is not counted";
    // The last watcher leaving from inside its report ends the tap at once.
    second.onItem = [&] { monitor.detach(second); };
    manager.sendByteToPorts('z');
    EXPECT_EQ(second.items.size(), 3u);
    EXPECT_FALSE(monitor.isWatched());
    EXPECT_EQ(tapped, nullptr) << "the lines are no longer tapped";
    manager.sendByteToPorts('w');
    EXPECT_EQ(second.items.size(), 3u);
    // A packet half sent while nobody watched does not run into what the next watcher sees.
    const uint8_t half[] = {0x80, 0xF0};
    manager.sendBufferToPorts(half, sizeof half);
    monitor.attach(watcher);
    manager.sendByteToPorts('k');
    ASSERT_EQ(watcher.items.size(), 2u);
    EXPECT_EQ(describeTrafficItem(watcher.items[0]), "key 0x6b 'k'");
}

TEST(TrafficFormatTest, OneLineForPeopleAndOneForScripts) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    TrafficItem packet;
    packet.sequence = 7;
    packet.timeUs = 3723004567;  // 01:02:03.004567
    packet.line = TrafficLine::Merge;
    packet.direction = TrafficDirection::Out;
    packet.kind = TrafficItem::Kind::Packet;
    packet.bytes = "\x80\xEA\xE1\xE2\xE3\xE4";
    EXPECT_EQ(formatTrafficLine(packet), "01:02:03.004 merge   out  80 EA E1 E2 E3 E4  packet x=65 y=892 button ctrl");
    EXPECT_EQ(formatTrafficJson(packet),
              R"({"seq":7,"time_us":3723004567,"line":"merge","direction":"out","kind":"packet",)"
              R"("hex":"80 EA E1 E2 E3 E4","x":65,"y":892,"flags":["button","ctrl"],)"
              R"("decoded":"packet x=65 y=892 button ctrl"})");
    TrafficItem name;
    name.direction = TrafficDirection::In;
    name.kind = TrafficItem::Kind::Name;
    name.bytes = "\x0c\"Quote\" \\ \xE9";
    name.text = "\"Quote\" \\ ";
    EXPECT_EQ(formatTrafficJson(name),
              R"({"seq":0,"time_us":0,"line":"display","direction":"in","kind":"name","hex":"0C 22 51 75 6F 74 65 )"
              R"(22 20 5C 20 E9","text":"\"Quote\" \\ ","decoded":"name \"\\\"Quote\\\" \\\\ \""})");
    TrafficItem key;
    key.bytes = "\x1b";
    EXPECT_NE(formatTrafficJson(key).find(R"("key":27,"name":"ESC")"), std::string::npos);
    TrafficItem rubout;  // DEL is a control character too, not printable text
    rubout.direction = TrafficDirection::In;
    rubout.kind = TrafficItem::Kind::Text;
    rubout.bytes = rubout.text = "a\x7f";
    EXPECT_NE(formatTrafficLine(rubout).find(R"(text "a\x7f")"), std::string::npos) << formatTrafficLine(rubout);
    EXPECT_NE(formatTrafficJson(rubout).find(R"("text":"a\u007f")"), std::string::npos) << formatTrafficJson(rubout);

    TrafficItem parsed;
    EXPECT_TRUE(parseTrafficItemParts("merge", "in", "broken", parsed));
    EXPECT_EQ(parsed.line, TrafficLine::Merge);
    EXPECT_EQ(parsed.direction, TrafficDirection::In);
    EXPECT_EQ(parsed.kind, TrafficItem::Kind::Broken);
    EXPECT_FALSE(parseTrafficItemParts("merge", "sideways", "key", parsed));
}

}  // namespace
}  // namespace tarvik::test
