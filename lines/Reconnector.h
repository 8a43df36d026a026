#pragma once
// Brings a network line back after the server went away: tries to open it after 1 s, then after
// 2, 4, 8, 16 and from then on every 30 s, until it opens. Between tries only this timer is
// armed; nothing else of the line's wakes the process. Nothing typed meanwhile is kept: the line
// is closed while it waits, and writes to it fail as to any closed port.
#include <QObject>
#include <QTimer>

#include <cstdint>

#include "lines/Line.h"

namespace tarvik::net {

class NetworkLine;

class Reconnector final : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstDelayMs = 1000;
    static constexpr int kLastDelayMs = 30000;

    explicit Reconnector(NetworkLine& line, QObject* parent = nullptr);

    // The line was lost (or never opened): wait, then try, until it opens or Stop.
    void Start(comm::LineError why);
    // The port is switched off or closed for good: no more tries.
    void Stop();
    bool Active() const { return active_; }
    // What the next wait will be.
    int NextDelayMs() const { return delayMs_; }
    // How often the back-off timer has run out: each time is one try.
    uint64_t Firings() const { return firings_; }

signals:
    // A wait of `delayMs` begins; `why` is the last failure.
    void waiting(int delayMs, tarvik::comm::LineError why);
    void reconnected();

private:
    void Schedule(const comm::LineError& why);

    NetworkLine& line_;
    QTimer timer_;
    int delayMs_ = kFirstDelayMs;
    bool active_ = false;
    uint64_t firings_ = 0;
};

}  // namespace tarvik::net
