#pragma once
// A line to the instrument, driven by the event loop of the thread that owns it: a local serial
// line (SerialLine) or, later, a network one. It tells what happens on it by signals; its owner
// reads and writes it on that same thread.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <QObject>

namespace tarvik::comm {

// What a person is told about a failure: the number the display line and message boxes show
// (ENOENT 2, EACCES and EBUSY 5, ...) and the system's words for it ("Device or resource busy",
// "not a terminal").
struct LineError {
    uint32_t code = 0;
    std::string reason;
};

// What an opening found: where the name is bound (a link's target as written, else the entry
// itself) and, when the opening failed, why.
struct OpenReport {
    std::string target;
    LineError error;
};

class Line : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool isOpen() const = 0;
    // Reads what is waiting without blocking into `buffer`; `count` is 0 when nothing waits.
    // 0 or the code of the failure. Reading re-arms readyRead.
    virtual uint32_t read(uint8_t* buffer, size_t size, size_t& count) = 0;
    // Hands `bytes` to the line within the time they need at the line's speed plus a second, or
    // gives up with 1460. `count` is what the line took: those bytes are never taken back, and a
    // write the line stopped taking part-way is finished before the next write's own bytes, so
    // the far end never sees one write cut by another.
    virtual uint32_t write(const uint8_t* bytes, size_t length, size_t& count) = 0;
    // Safe on a closed line and from a slot of the line's own signals.
    virtual void close() = 0;

signals:
    // An opening that completes later (a network line) ended.
    void opened();
    void openFailed(const tarvik::comm::LineError& why);
    // Data waits. Emitted again while data is left, but not before the next read when the owner
    // read nothing at all.
    void readyRead();
    // Overrun, parity or framing errors or a break among the data about to be reported (the
    // driver's counters moved); emitted just before that data's readyRead.
    void lineError();
    // The line went away (hang-up, closed by the far end). Emitted once; nothing more comes. The
    // line stays open until its owner closes it, so the owner can start watching for the device
    // to come back first.
    void lost(const tarvik::comm::LineError& why);
};

// Makes lines by port name ("COMn").
class LineOpener {
public:
    virtual ~LineOpener() = default;
    // The line behind `name`, open (a serial line) or still opening (a network line: it emits
    // opened or openFailed), or null with `report.error` saying why.
    virtual std::unique_ptr<Line> open(const std::string& name, OpenReport& report) = 0;
};

}  // namespace tarvik::comm
