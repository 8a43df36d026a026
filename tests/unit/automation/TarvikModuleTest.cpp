#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "TarvikModule.h"

namespace tarvik {
namespace {

struct RecordingPoster : IMessagePoster {
    std::vector<uint32_t> posted;
    void Post(uint32_t message, uint64_t, int64_t) override { posted.push_back(message); }
};

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        module.Init();
        module.SetMainWindow(&window);
    }
    CTarvikModule module;
    RecordingPoster window;
};

TEST_F(ModuleTest, LastUnlockPostsOneCloseOnlyWhenArmed) {
    EXPECT_EQ(module.Lock(), 1);
    EXPECT_EQ(module.Unlock(), 0);
    EXPECT_TRUE(window.posted.empty()) << "before the window exists nothing may close it";

    module.m_bCloseOnLastUnlock = 1;
    module.Lock();
    module.Lock();
    EXPECT_EQ(module.Unlock(), 1);
    EXPECT_TRUE(window.posted.empty());
    EXPECT_EQ(module.Unlock(), 0);
    ASSERT_EQ(window.posted.size(), 1u);
    EXPECT_EQ(window.posted[0], WM_CLOSE);
}

TEST_F(ModuleTest, UnbalancedUnlockGoesNegativeWithoutClosing) {
    module.m_bCloseOnLastUnlock = 1;
    EXPECT_EQ(module.Unlock(), -1);
    EXPECT_EQ(module.GetLockCount(), -1);
    EXPECT_TRUE(window.posted.empty());
    EXPECT_EQ(module.Lock(), 0) << "only an Unlock reaching zero closes";
    EXPECT_TRUE(window.posted.empty());
}

TEST_F(ModuleTest, DisarmedAfterConfirmedExitAndWithoutWindow) {
    module.m_bCloseOnLastUnlock = 1;
    module.Lock();
    module.m_bCloseOnLastUnlock = 0;
    module.Unlock();
    EXPECT_TRUE(window.posted.empty());

    module.m_bCloseOnLastUnlock = 1;
    module.SetMainWindow(nullptr);
    module.Lock();
    EXPECT_EQ(module.Unlock(), 0);  // must not crash with the window gone
    EXPECT_TRUE(window.posted.empty());
}

TEST_F(ModuleTest, CountStaysExactUnderConcurrentLocking) {
    module.m_bCloseOnLastUnlock = 1;
    module.Lock();  // held by the test, so no thread's Unlock can reach zero
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this] {
            for (int i = 0; i < 10000; ++i) {
                module.Lock();
                module.Unlock();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(module.GetLockCount(), 1);
    EXPECT_TRUE(window.posted.empty());
}

TEST_F(ModuleTest, TermRunsQueuedWorkNewestFirstOnce) {
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
