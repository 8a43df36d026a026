#include "tools/tarvikctl/CtlSession.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QSocketNotifier>

#include "tools/tarvikctl/CtlCommand.h"

namespace tarvik::ctl {
namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    (void)!::write(signalPipe[1], &byte, 1);
}

}  // namespace

int Fail(int status, const std::string& message) {
    std::fprintf(stderr, "tarvikctl: %s\n", message.c_str());
    return status;
}

int CallFailed(const QDBusError& error) {
    const QDBusError::ErrorType type = error.type();
    const bool gone = error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    if (gone || type == QDBusError::ServiceUnknown || type == QDBusError::Disconnected || type == QDBusError::NoReply) {
        return Fail(kNotRunning, "Tarvik is not running (" + error.message().toStdString() + ")");
    }
    return Fail(kRefused, "Tarvik refused: " + error.name().toStdString() + ": " + error.message().toStdString());
}

int RunUntilEnded(const QDBusConnection& bus, const QString& service) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return Fail(kRefused, "socketpair failed");
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    QSocketNotifier stop(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [] { QCoreApplication::exit(kOk); });
    QDBusServiceWatcher ended(service, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&ended, &QDBusServiceWatcher::serviceUnregistered, [] {
        Fail(kNotRunning, "Tarvik has ended");
        QCoreApplication::exit(kNotRunning);
    });
    // It may have ended between the caller's first check and the watch.
    if (!bus.interface()->isServiceRegistered(service).value()) return Fail(kNotRunning, "Tarvik has ended");
    return QCoreApplication::exec();
}

int WaitUntilGone(const QDBusConnection& bus, const QString& service) {
    QDBusServiceWatcher gone(service, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, [] { QCoreApplication::exit(kOk); });
    // Asked after the watch began, so an end between the two is not missed.
    if (!bus.interface()->isServiceRegistered(service).value()) return kOk;
    return QCoreApplication::exec();
}

}  // namespace tarvik::ctl
