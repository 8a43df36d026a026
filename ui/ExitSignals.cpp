#include "ui/ExitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace tarvik {
namespace {

// A handler may run on any thread and may do almost nothing: it wakes the event loop through a
// pipe, and the work happens there.
int gSignalPipe[2] = {-1, -1};

void onSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    (void)!::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void exitOnSignals(std::function<void()> exit) {
    if (gSignalPipe[0] >= 0 || ::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, exit = std::move(exit)] {
        unsigned char byte = 0;
        while (::read(gSignalPipe[0], &byte, 1) > 0) {}
        notifier->setEnabled(false);
        exit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // The handler gives way to the default after one signal: a second one ends a shutdown that
    // hangs.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

}  // namespace tarvik
