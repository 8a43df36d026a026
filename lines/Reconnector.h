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
    static constexpr int FirstDelayMs = 1000;
    static constexpr int LastDelayMs = 30000;

    explicit Reconnector(NetworkLine& line, QObject* parent = nullptr);

    // The line was lost (or never opened): wait, then try, until it opens or Stop.
    void start(comm::LineError why);
    // The port is switched off or closed for good: no more tries.
    void stop();
    bool active() const { return m_active; }
    // What the next wait will be.
    int nextDelayMs() const { return m_delayMs; }
    // How often the back-off timer has run out: each time is one try.
    uint64_t firings() const { return m_firings; }

signals:
    // A wait of `delayMs` begins; `why` is the last failure.
    void waiting(int delayMs, tarvik::comm::LineError why);
    void reconnected();

private:
    void schedule(const comm::LineError& why);

    NetworkLine& m_line;
    QTimer m_timer;
    int m_delayMs = FirstDelayMs;
    bool m_active = false;
    uint64_t m_firings = 0;
};

}  // namespace tarvik::net
