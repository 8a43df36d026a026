#pragma once
// What each line to the instrument is doing, in words a user can act on: its COM number, the
// device that number is bound to, and whether it is open or why not. The display line keeps its
// alerts; this stays visible beside them (the tooltips) and goes to standard error once per
// change, which is what a journal wants from a program started by the desktop.
#include <cstdint>
#include <functional>
#include <string>

namespace tarvik {

enum class LineState {
    Closed,         // not opened yet (a client run), or closed at shutdown
    NotConfigured,  // no port number in the machine's settings
    Off,            // port number 0
    Open,
    NotOpen,       // the open failed; the reason says why
    HungUp,        // the device went away and cannot be watched for
    Waiting,       // the device went away; it is watched for and the line reopens when it is back
    Reconnected,   // open again after a hang-up
    Connecting,    // a network line is opening
    Reconnecting,  // a network line was lost; it is tried again after a growing wait
};

struct LineStatus {
    LineState state = LineState::Closed;
    int32_t number = 0;  // the COM number, where the state has one
    std::string target;  // where COM<number> is bound
    std::string reason;  // the system's words for a failed open, or for why a network line waits
};

// "Display: COM3 → /dev/ttyUSB0, open", "Merge: COM4 → /dev/ttyUSB7, not open: No such file or
// directory", "Merge: off".
std::string lineStatusText(const std::string& line, const LineStatus& status);

// Both lines' states. A change of a line's text is written to the log once and the observer told;
// setting what is already shown does neither.
class LinkStatus {
public:
    using Log = std::function<void(const std::string& text)>;
    // The log writes "tarvik: <text>" lines to standard error.
    LinkStatus();

    // `portId` is PortIdDisplay or PortIdMerge; others are ignored.
    void set(int64_t portId, LineStatus status);
    const LineStatus& of(int64_t portId) const;
    // One line of text per port, the Display Port first.
    std::string text() const;

    void setLog(Log log) { m_log = std::move(log); }
    void setObserver(std::function<void()> observer) { m_observer = std::move(observer); }

private:
    LineStatus m_display;
    LineStatus m_merge;
    Log m_log;
    std::function<void()> m_observer;
};

}  // namespace tarvik
