#pragma once
// Tarvik.Monitor on the control object: each traffic item becomes one Traffic signal, sent only
// while a connection is subscribed (until then the lines are not even tapped for the bus).
#include <QDBusConnection>

#include "automation/TrafficSubscribers.h"
#include "common/Traffic.h"

namespace tarvik {

class BusMonitor : public TrafficWatcher {
public:
    explicit BusMonitor(QDBusConnection connection) : m_connection(std::move(connection)) {}

    TrafficSubscribers& subscribers() { return m_subscribers; }
    void onTraffic(const TrafficItem& item) override;

private:
    QDBusConnection m_connection;
    TrafficSubscribers m_subscribers{*this};
};

}  // namespace tarvik
