#pragma once
// Who on the bus is subscribed to the lines' traffic, by connection. The traffic is watched (and
// the lines tapped) only while someone is; a connection that goes away stops being subscribed.
#include <set>
#include <string>

#include "common/Traffic.h"

namespace tarvik {

class TrafficSubscribers {
public:
    // `relay` is what watches the traffic on the subscribers' behalf (it sends the signals).
    explicit TrafficSubscribers(TrafficWatcher& relay) : m_relay(relay) {}
    ~TrafficSubscribers() { setSource(nullptr); }
    TrafficSubscribers(const TrafficSubscribers&) = delete;
    TrafficSubscribers& operator=(const TrafficSubscribers&) = delete;

    // The window's traffic; null while there is no window. Subscriptions carry over.
    void setSource(TrafficSource* source);
    // Once per connection: a second Subscribe changes nothing, one Unsubscribe ends it.
    void subscribe(const std::string& connection);
    void unsubscribe(const std::string& connection);
    bool holds(const std::string& connection) const { return m_connections.count(connection) != 0; }
    size_t count() const { return m_connections.size(); }
    bool watching() const { return m_watching != nullptr; }

private:
    void update();

    TrafficWatcher& m_relay;
    TrafficSource* m_source = nullptr;
    TrafficSource* m_watching = nullptr;  // the source the relay is attached to
    std::set<std::string> m_connections;
};

}  // namespace tarvik
