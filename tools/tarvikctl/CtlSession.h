#pragma once
// What tarvikctl's commands share on the bus: how a failure is said, and the wait of the commands
// that print events until they are interrupted or Tarvik ends.
#include <string>

#include <QDBusConnection>
#include <QDBusError>
#include <QString>

namespace tarvik::ctl {

// The session bus to use, found without ever having one started: DBUS_SESSION_BUS_ADDRESS with
// any "autolaunch:" entry left out, else the user's bus at $XDG_RUNTIME_DIR/bus. Empty, with the
// reason in `why`, when there is none. (Left to itself, the bus library would start a new bus on
// the X display.)
std::string sessionBusAddress(std::string& why);

// Says `message` on standard error and gives `status` back.
int fail(int status, const std::string& message);
// A call that did not go through: Tarvik went away meanwhile (NotRunning), or it refused (Refused).
int callFailed(const QDBusError& error);
// Runs the event loop until SIGINT or SIGTERM (Ok), or until `service` leaves the bus (NotRunning,
// said so). Whatever the caller connected meanwhile prints the events.
int runUntilEnded(const QDBusConnection& bus, const QString& service);
// Waits until `service` has left the bus (Ok).
int waitUntilGone(const QDBusConnection& bus, const QString& service);

}  // namespace tarvik::ctl
