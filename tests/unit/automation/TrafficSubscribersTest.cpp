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

TEST(TrafficSubscribersTest, TheTrafficIsWatchedExactlyWhileAConnectionIsSubscribedAndAWindowIsThere) {
    NullWatcher relay;
    FakeSource window, later;
    CTrafficSubscribers subscribers(relay);
    subscribers.Subscribe(":1.5");  // before the window exists
    EXPECT_FALSE(subscribers.Watching());
    subscribers.SetSource(&window);
    EXPECT_EQ(window.watchers, std::vector<ITrafficWatcher*>{&relay});
    subscribers.Subscribe(":1.5");
    subscribers.Subscribe(":1.7");
    EXPECT_EQ(window.watchers.size(), 1u) << "one relay, however many subscribe";
    subscribers.Unsubscribe(":1.5");
    EXPECT_TRUE(subscribers.Watching());
    EXPECT_FALSE(subscribers.Holds(":1.5"));
    subscribers.Unsubscribe(":1.9");  // never subscribed
    subscribers.Unsubscribe(":1.7");  // the last one, by leaving or by its connection closing
    EXPECT_TRUE(window.watchers.empty());
    EXPECT_FALSE(subscribers.Watching());

    subscribers.Subscribe(":1.8");
    subscribers.SetSource(&later);  // the window changes under a subscription
    EXPECT_TRUE(window.watchers.empty());
    EXPECT_EQ(later.watchers.size(), 1u);
    {
        CTrafficSubscribers gone(relay);
        gone.SetSource(&window);
        gone.Subscribe(":1.9");
    }
    EXPECT_TRUE(window.watchers.empty()) << "an ended server lets go of the window";
}

}  // namespace
}  // namespace tarvik::test
