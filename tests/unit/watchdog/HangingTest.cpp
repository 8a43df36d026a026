// A test that never ends, run under the watchdog with a one-second limit: the run must end with
// the test's name and the watchdog's message, not at CTest's time-out.
#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

TEST(Watchdog, EndsATestThatHangs) {
    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock lock(mutex);
    never.wait(lock, [] { return false; });
}
