#pragma once
// Who on the bus is subscribed to the lines' traffic, by connection. The traffic is watched (and
// the lines tapped) only while someone is; a connection that goes away stops being subscribed.
#include <set>
#include <string>

#include "common/Traffic.h"

namespace tarvik {

class CTrafficSubscribers {
public:
    // `relay` is what watches the traffic on the subscribers' behalf (it sends the signals).
    explicit CTrafficSubscribers(ITrafficWatcher& relay) : relay_(relay) {}
    ~CTrafficSubscribers() { SetSource(nullptr); }
    CTrafficSubscribers(const CTrafficSubscribers&) = delete;
    CTrafficSubscribers& operator=(const CTrafficSubscribers&) = delete;

    // The window's traffic; null while there is no window. Subscriptions carry over.
    void SetSource(ITrafficSource* source);
    // Once per connection: a second Subscribe changes nothing, one Unsubscribe ends it.
    void Subscribe(const std::string& connection);
    void Unsubscribe(const std::string& connection);
    bool Holds(const std::string& connection) const { return connections_.count(connection) != 0; }
    size_t Count() const { return connections_.size(); }
    bool Watching() const { return watching_ != nullptr; }

private:
    void Update();

    ITrafficWatcher& relay_;
    ITrafficSource* source_ = nullptr;
    ITrafficSource* watching_ = nullptr;  // the source the relay is attached to
    std::set<std::string> connections_;
};

}  // namespace tarvik
