#include "automation/TrafficSubscribers.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvik::test {
namespace {

struct FakeSource : ITrafficSource {
    std::vector<ITrafficWatcher*> watchers;
    void Attach(ITrafficWatcher& w) override { watchers.push_back(&w); }
    void Detach(ITrafficWatcher& w) override { std::erase(watchers, &w); }
};

struct NullWatcher : ITrafficWatcher {
    void OnTraffic(const TrafficItem&) override {}
};

// Subscribing, its once-per-connection rule and the rundown are tried on the bus
// (AutomationToolsTest); here, what the bus cannot show: the window coming and going.
TEST(TrafficSubscribersTest, SubscriptionsOutliveTheWindowAndAnEndedServerLetsGoOfIt) {
    NullWatcher relay;
    FakeSource window, later;
    CTrafficSubscribers subscribers(relay);
    subscribers.Subscribe(":1.5");  // before the window exists
    EXPECT_FALSE(subscribers.Watching());
    subscribers.SetSource(&window);
    EXPECT_EQ(window.watchers, std::vector<ITrafficWatcher*>{&relay});
    subscribers.SetSource(&later);
    EXPECT_TRUE(window.watchers.empty());
    EXPECT_EQ(later.watchers.size(), 1u);
    subscribers.Unsubscribe(":1.5");
    EXPECT_TRUE(later.watchers.empty());
    {
        CTrafficSubscribers gone(relay);
        gone.SetSource(&window);
        gone.Subscribe(":1.9");
        EXPECT_EQ(window.watchers.size(), 1u);
    }
    EXPECT_TRUE(window.watchers.empty()) << "an ended server lets go of the window";
}

}  // namespace
}  // namespace tarvik::test
