// The main of every GoogleTest executable: GoogleTest's own, plus a watchdog. A test whose code
// under test hangs (a read that never returns, a wait for a condition that never comes) ends the
// executable with its name and a message after TARVIK_TEST_WATCHDOG seconds (30 by default),
// instead of sitting silent until CTest's time-out.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

class Watchdog : public testing::EmptyTestEventListener {
public:
    explicit Watchdog(std::chrono::seconds limit) : limit_(limit), thread_([this] { Watch(); }) {}
    ~Watchdog() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    void OnTestStart(const testing::TestInfo& test) override {
        std::lock_guard lock(mutex_);
        running_ = std::string(test.test_suite_name()) + "." + test.name();
        deadline_ = std::chrono::steady_clock::now() + limit_;
        changed_.notify_all();
    }
    void OnTestEnd(const testing::TestInfo&) override {
        std::lock_guard lock(mutex_);
        running_.clear();
        changed_.notify_all();
    }

private:
    void Watch() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            if (running_.empty()) {
                changed_.wait(lock);
            } else if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout && !running_.empty() &&
                       std::chrono::steady_clock::now() >= deadline_) {
                std::fprintf(stderr, "\nFAILED: %s did not end within %lld s: the code under test hangs\n",
                             running_.c_str(), static_cast<long long>(limit_.count()));
                std::fflush(stderr);
                std::_Exit(124);
            }
        }
    }

    const std::chrono::seconds limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string running_;
    std::chrono::steady_clock::time_point deadline_{};
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the rest is ready
};

std::chrono::seconds WatchdogLimit() {
    const char* text = std::getenv("TARVIK_TEST_WATCHDOG");
    const long seconds = text ? std::strtol(text, nullptr, 10) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : 30);
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Owned by GoogleTest's listener list from here on.
    testing::UnitTest::GetInstance()->listeners().Append(new Watchdog(WatchdogLimit()));
    return RUN_ALL_TESTS();
}
