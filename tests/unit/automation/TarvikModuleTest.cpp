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
        module.init();
        module.setMainWindow(&window);
    }
    TarvikModule module;
    test::RecordingCloser window;
};

TEST_F(ModuleTest, OnlyAnUnlockReachingZeroWhileArmedPostsOneClose) {
    EXPECT_EQ(module.lock(), 1);
    EXPECT_EQ(module.unlock(), 0);
    EXPECT_EQ(window.total(), 0) << "before the window exists nothing may close it";

    module.m_closeOnLastUnlock = 1;
    module.lock();
    module.lock();
    EXPECT_EQ(module.unlock(), 1);
    EXPECT_EQ(window.total(), 0);
    EXPECT_EQ(module.unlock(), 0);
    EXPECT_EQ(window.total(), 1);

    // Unbalanced: below zero, and back up to zero through a Lock, closes nothing.
    EXPECT_EQ(module.unlock(), -1);
    EXPECT_EQ(module.lock(), 0);
    // Disarmed by a confirmed exit, or with the window gone (which must not crash).
    module.lock();
    module.m_closeOnLastUnlock = 0;
    module.unlock();
    module.m_closeOnLastUnlock = 1;
    module.setMainWindow(nullptr);
    module.lock();
    EXPECT_EQ(module.unlock(), 0);
    EXPECT_EQ(window.total(), 1);
}

TEST_F(ModuleTest, CountStaysExactUnderConcurrentLocking) {
    module.m_closeOnLastUnlock = 1;
    module.lock();  // held by the test, so no thread's Unlock can reach zero
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this] {
            for (int i = 0; i < 10000; ++i) module.lock(), module.unlock();
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(module.getLockCount(), 1);
    EXPECT_EQ(window.total(), 0);
}

TEST_F(ModuleTest, TermRunsQueuedWorkNewestFirstOnceAndInitResets) {
    std::vector<int> order;
    module.addTermFunc([&] { order.push_back(1); });
    module.addTermFunc([&] { order.push_back(2); });
    module.term();
    module.term();
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    module.lock();
    module.init();
    EXPECT_EQ(module.getLockCount(), 0);
    EXPECT_EQ(module.m_mainThreadId, std::this_thread::get_id());
}

}  // namespace
}  // namespace tarvik
