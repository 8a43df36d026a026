#include <gtest/gtest.h>

#include <string>

#include "lines/SendQueue.h"

namespace tarvik::net {
namespace {

using namespace std::chrono_literals;

std::span<const uint8_t> bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string text(std::span<const uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

// At 9600 baud a 3-byte send may wait 3 ms plus a second; a 960-byte one a second plus a second.
TEST(SendQueue, AFarEndThatStopsTakingBoundsTheQueueAndLosesNothingTaken) {
    const auto start = SendQueue::Clock::now();
    SendQueue queue(9600);
    ASSERT_TRUE(queue.add(bytes("abc"), start));
    ASSERT_TRUE(queue.add(bytes(std::string(960, 'x')), start + 500ms));
    EXPECT_TRUE(queue.add(bytes("d"), start + 1003ms)) << "the oldest send's time is not up yet";
    EXPECT_FALSE(queue.add(bytes("e"), start + 1004ms)) << "the oldest send outstayed its time";
    EXPECT_FALSE(queue.add(bytes("f"), start + 60s));
    EXPECT_EQ(queue.pending(), 3u + 960 + 1) << "refused sends are not queued, taken ones stay";

    // The far end reads again: everything taken goes out whole and in order.
    queue.took(2);
    EXPECT_EQ(text(queue.next()), "c");
    EXPECT_FALSE(queue.add(bytes("g"), start + 60s)) << "a send cut part-way is still the oldest";
    queue.took(1);
    EXPECT_EQ(text(queue.next()), std::string(960, 'x'));
    queue.took(960);
    EXPECT_EQ(text(queue.next()), "d");
    queue.took(1);
    EXPECT_TRUE(queue.empty());
    EXPECT_TRUE(queue.add(bytes("h"), start + 60s)) << "an emptied queue takes sends again";
    EXPECT_EQ(text(queue.next()), "h");
}

}  // namespace
}  // namespace tarvik::net
