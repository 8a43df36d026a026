#include "lines/Reconnector.h"

#include <algorithm>

#include "lines/NetworkLine.h"

namespace tarvik::net {

Reconnector::Reconnector(NetworkLine& line, QObject* parent) : QObject(parent), m_line(line) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        ++m_firings;
        m_line.open();
    });
    connect(&m_line, &comm::Line::opened, this, [this] {
        if (!m_active) return;
        stop();
        emit reconnected();
    });
    connect(&m_line, &comm::Line::openFailed, this, [this](const comm::LineError& why) {
        if (m_active) schedule(why);
    });
}

void Reconnector::start(comm::LineError why) {
    stop();
    m_active = true;
    schedule(why);
}

void Reconnector::stop() {
    m_timer.stop();
    m_active = false;
    m_delayMs = FirstDelayMs;
}

void Reconnector::schedule(const comm::LineError& why) {
    m_timer.start(m_delayMs);
    const int waited = m_delayMs;
    m_delayMs = std::min(m_delayMs * 2, LastDelayMs);
    emit waiting(waited, why);
}

}  // namespace tarvik::net
