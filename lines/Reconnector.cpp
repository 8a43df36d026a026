#include "lines/Reconnector.h"

#include <algorithm>

#include "lines/NetworkLine.h"

namespace tarvik::net {

Reconnector::Reconnector(NetworkLine& line, QObject* parent) : QObject(parent), line_(line) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        ++firings_;
        line_.open();
    });
    connect(&line_, &comm::Line::opened, this, [this] {
        if (!active_) return;
        Stop();
        emit reconnected();
    });
    connect(&line_, &comm::Line::openFailed, this, [this](const comm::LineError& why) {
        if (active_) Schedule(why);
    });
}

void Reconnector::Start(comm::LineError why) {
    Stop();
    active_ = true;
    Schedule(why);
}

void Reconnector::Stop() {
    timer_.stop();
    active_ = false;
    delayMs_ = kFirstDelayMs;
}

void Reconnector::Schedule(const comm::LineError& why) {
    timer_.start(delayMs_);
    const int waited = delayMs_;
    delayMs_ = std::min(delayMs_ * 2, kLastDelayMs);
    emit waiting(waited, why);
}

}  // namespace tarvik::net
