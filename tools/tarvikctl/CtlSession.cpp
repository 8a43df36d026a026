#include "tools/tarvikctl/CtlSession.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QSocketNotifier>

#include "tools/tarvikctl/CtlCommand.h"

namespace tarvik::ctl {
namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    (void)!::write(signalPipe[1], &byte, 1);
}

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A path as a D-Bus address value: bytes outside the set that may stand as they are go as %XX.
std::string escapedAddressValue(const std::string& value) {
    static const char hex[] = "0123456789abcdef";
    std::string escaped;
    for (const unsigned char c : value) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
                           c == '_' || c == '/' || c == '.' || c == '\\' || c == '*';
        if (plain) escaped += static_cast<char>(c);
        else escaped += {'%', hex[c >> 4], hex[c & 15]};
    }
    return escaped;
}

}  // namespace

std::string sessionBusAddress(std::string& why) {
    const std::string given = env("DBUS_SESSION_BUS_ADDRESS");
    std::string address;
    for (size_t start = 0; start <= given.size();) {
        size_t end = given.find(';', start);
        if (end == std::string::npos) end = given.size();
        const std::string entry = given.substr(start, end - start);
        if (!entry.empty() && entry.rfind("autolaunch:", 0) != 0) address += (address.empty() ? "" : ";") + entry;
        start = end + 1;
    }
    if (!address.empty()) return address;
    if (!given.empty()) {
        why = "DBUS_SESSION_BUS_ADDRESS names no bus but one to be started (\"" + given +
              "\"); tarvikctl never starts one";
        return {};
    }
    // Where the bus library itself looks next, with its checks: a socket of this user's.
    const std::string runtime = env("XDG_RUNTIME_DIR");
    struct stat info {};
    if (!runtime.empty() && ::lstat((runtime + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode) &&
        info.st_uid == ::getuid()) {
        return "unix:path=" + escapedAddressValue(runtime + "/bus");
    }
    why = "DBUS_SESSION_BUS_ADDRESS is not set and there is no " +
          (runtime.empty() ? std::string("XDG_RUNTIME_DIR") : runtime + "/bus") + " (tarvikctl never starts a bus)";
    return {};
}

int fail(int status, const std::string& message) {
    std::fprintf(stderr, "tarvikctl: %s\n", message.c_str());
    return status;
}

int callFailed(const QDBusError& error) {
    const QDBusError::ErrorType type = error.type();
    const bool gone = error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    if (gone || type == QDBusError::ServiceUnknown || type == QDBusError::Disconnected || type == QDBusError::NoReply) {
        return fail(NotRunning, "Tarvik is not running (" + error.message().toStdString() + ")");
    }
    return fail(Refused, "Tarvik refused: " + error.name().toStdString() + ": " + error.message().toStdString());
}

int runUntilEnded(const QDBusConnection& bus, const QString& service) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return fail(Refused, "socketpair failed");
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QSocketNotifier stop(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [] { QCoreApplication::exit(Ok); });
    QDBusServiceWatcher ended(service, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&ended, &QDBusServiceWatcher::serviceUnregistered, [] {
        fail(NotRunning, "Tarvik has ended");
        QCoreApplication::exit(NotRunning);
    });
    // It may have ended between the caller's first check and the watch.
    if (!bus.interface()->isServiceRegistered(service).value()) return fail(NotRunning, "Tarvik has ended");
    return QCoreApplication::exec();
}

int waitUntilGone(const QDBusConnection& bus, const QString& service) {
    QDBusServiceWatcher gone(service, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, [] { QCoreApplication::exit(Ok); });
    // Asked after the watch began, so an end between the two is not missed.
    if (!bus.interface()->isServiceRegistered(service).value()) return Ok;
    return QCoreApplication::exec();
}

}  // namespace tarvik::ctl
