#pragma once
// Tarvik.Monitor on the control object: each traffic item becomes one Traffic signal, sent only
// while a connection is subscribed (until then the lines are not even tapped for the bus).
#include <QDBusConnection>

#include "automation/TrafficSubscribers.h"
#include "common/Traffic.h"

namespace tarvik {

class CBusMonitor : public ITrafficWatcher {
public:
    explicit CBusMonitor(QDBusConnection connection) : connection_(std::move(connection)) {}

    CTrafficSubscribers& Subscribers() { return subscribers_; }
    void OnTraffic(const TrafficItem& item) override;

private:
    QDBusConnection connection_;
    CTrafficSubscribers subscribers_{*this};
};

}  // namespace tarvik
