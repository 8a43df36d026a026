#include "automation/TrafficSubscribers.h"

namespace tarvik {

void TrafficSubscribers::setSource(TrafficSource* source) {
    m_source = source;
    update();
}

void TrafficSubscribers::subscribe(const std::string& connection) {
    m_connections.insert(connection);
    update();
}

void TrafficSubscribers::unsubscribe(const std::string& connection) {
    m_connections.erase(connection);
    update();
}

void TrafficSubscribers::update() {
    TrafficSource* wanted = m_connections.empty() ? nullptr : m_source;
    if (wanted == m_watching) return;
    if (m_watching) m_watching->detach(m_relay);
    m_watching = wanted;
    if (m_watching) m_watching->attach(m_relay);
}

}  // namespace tarvik
