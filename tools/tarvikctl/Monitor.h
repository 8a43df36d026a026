#pragma once
// tarvikctl monitor: the lines' traffic from Tarvik.Monitor, one item a line as the Monitor window
// shows it, or as JSON.
#include <QDBusConnection>

namespace tarvik::ctl {

// Subscribes, prints until interrupted or until Tarvik ends; the exit status.
int monitorTraffic(const QDBusConnection& bus, bool json);

}  // namespace tarvik::ctl
