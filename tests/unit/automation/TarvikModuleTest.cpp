#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "automation/TarvikModule.h"
#include "tests/support/Recorders.h"

namespace tarvik {
namespace {

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        module.Init();
        module.SetMainWindow(&window);
    }
    CTarvikModule module;
    test::RecordingPoster window;
};

TEST_F(ModuleTest, OnlyAnUnlockReachingZeroWhileArmedPostsOneClose) {
    EXPECT_EQ(module.Lock(), 1);
    EXPECT_EQ(module.Unlock(), 0);
    EXPECT_EQ(window.Total(), 0) << "before the window exists nothing may close it";

    module.m_bCloseOnLastUnlock = 1;
    module.Lock();
    module.Lock();
    EXPECT_EQ(module.Unlock(), 1);
    EXPECT_EQ(window.Total(), 0);
    EXPECT_EQ(module.Unlock(), 0);
    test::PostedMessage posted{};
    ASSERT_TRUE(window.Take(posted));
    EXPECT_EQ(posted.message, WM_CLOSE);

    // Unbalanced: below zero, and back up to zero through a Lock, closes nothing.
    EXPECT_EQ(module.Unlock(), -1);
    EXPECT_EQ(module.Lock(), 0);
    // Disarmed by a confirmed exit, or with the window gone (which must not crash).
    module.Lock();
    module.m_bCloseOnLastUnlock = 0;
    module.Unlock();
    module.m_bCloseOnLastUnlock = 1;
    module.SetMainWindow(nullptr);
    module.Lock();
    EXPECT_EQ(module.Unlock(), 0);
    EXPECT_EQ(window.Total(), 1);
}

TEST_F(ModuleTest, CountStaysExactUnderConcurrentLocking) {
    module.m_bCloseOnLastUnlock = 1;
    module.Lock();  // held by the test, so no thread's Unlock can reach zero
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this] {
            for (int i = 0; i < 10000; ++i) module.Lock(), module.Unlock();
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(module.GetLockCount(), 1);
    EXPECT_EQ(window.Total(), 0);
}

TEST_F(ModuleTest, TermRunsQueuedWorkNewestFirstOnceAndInitResets) {
    std::vector<int> order;
    module.AddTermFunc([&] { order.push_back(1); });
    module.AddTermFunc([&] { order.push_back(2); });
    module.Term();
    module.Term();
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    module.Lock();
    module.Init();
    EXPECT_EQ(module.GetLockCount(), 0);
    EXPECT_EQ(module.m_dwMainThreadID, std::this_thread::get_id());
}

}  // namespace
}  // namespace tarvik
