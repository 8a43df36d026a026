#pragma once
// The event loop for tests of code driven by it: one QCoreApplication for the test program, and
// waits that run the loop until a condition holds.
#include <chrono>
#include <functional>

#include <QCoreApplication>
#include <QTest>

namespace tarvik::test {

inline QCoreApplication& EnsureCoreApplication() {
    static int argc = 1;
    static char name[] = "tarvik-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    return *app;
}

// Runs the loop until `done` holds; false when `limit` ran out first. The limit is generous: a
// loaded machine may take seconds for a TLS handshake or a server's start.
inline bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    EnsureCoreApplication();
    return QTest::qWaitFor(done, static_cast<int>(limit.count()));
}

// Runs the loop for `period`, for checking that something does not happen.
inline void RunFor(std::chrono::milliseconds period) {
    EnsureCoreApplication();
    QTest::qWait(static_cast<int>(period.count()));
}

}  // namespace tarvik::test
