#include "automation/TrafficSubscribers.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvik::test {
namespace {

struct FakeSource : TrafficSource {
    std::vector<TrafficWatcher*> watchers;
    void attach(TrafficWatcher& w) override { watchers.push_back(&w); }
    void detach(TrafficWatcher& w) override { std::erase(watchers, &w); }
};

struct NullWatcher : TrafficWatcher {
    void onTraffic(const TrafficItem&) override {}
};

// Subscribing, its once-per-connection rule and the rundown are tried on the bus
// (AutomationToolsTest); here, what the bus cannot show: the window coming and going.
TEST(TrafficSubscribersTest, SubscriptionsOutliveTheWindowAndAnEndedServerLetsGoOfIt) {
    NullWatcher relay;
    FakeSource window, later;
    TrafficSubscribers subscribers(relay);
    subscribers.subscribe(":1.5");  // before the window exists
    EXPECT_FALSE(subscribers.watching());
    subscribers.setSource(&window);
    EXPECT_EQ(window.watchers, std::vector<TrafficWatcher*>{&relay});
    subscribers.setSource(&later);
    EXPECT_TRUE(window.watchers.empty());
    EXPECT_EQ(later.watchers.size(), 1u);
    subscribers.unsubscribe(":1.5");
    EXPECT_TRUE(later.watchers.empty());
    {
        TrafficSubscribers gone(relay);
        gone.setSource(&window);
        gone.subscribe(":1.9");
        EXPECT_EQ(window.watchers.size(), 1u);
    }
    EXPECT_TRUE(window.watchers.empty()) << "an ended server lets go of the window";
}

}  // namespace
}  // namespace tarvik::test
