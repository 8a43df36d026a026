// The main of every GoogleTest executable: GoogleTest's own, plus a watchdog. A test whose code
// under test hangs (a read that never returns, a wait for a condition that never comes) ends the
// executable with its name and a message after TARVIK_TEST_WATCHDOG seconds (30 by default),
// instead of sitting silent until CTest's time-out.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

namespace {

// Composed when each test starts, so that the alarm's handler only writes it out.
char g_message[512];
size_t g_length = 0;

void OnAlarm(int) {
    (void)!::write(STDERR_FILENO, g_message, g_length);
    ::_exit(124);
}

class Watchdog : public testing::EmptyTestEventListener {
public:
    explicit Watchdog(unsigned seconds) : m_seconds(seconds) { ::signal(SIGALRM, OnAlarm); }

    void OnTestStart(const testing::TestInfo& test) override {
        const int length = std::snprintf(g_message, sizeof g_message,
                                         "\nFAILED: %s.%s did not end within %u s: the code under test hangs\n",
                                         test.test_suite_name(), test.name(), m_seconds);
        g_length = length > 0 ? std::min<size_t>(length, sizeof g_message - 1) : 0;
        ::alarm(m_seconds);
    }
    void OnTestEnd(const testing::TestInfo&) override { ::alarm(0); }

private:
    const unsigned m_seconds;
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const char* text = std::getenv("TARVIK_TEST_WATCHDOG");
    const long seconds = text ? std::strtol(text, nullptr, 10) : 0;
    // Owned by GoogleTest's listener list from here on.
    testing::UnitTest::GetInstance()->listeners().Append(new Watchdog(seconds > 0 ? seconds : 30));
    return RUN_ALL_TESTS();
}
