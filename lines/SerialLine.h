#pragma once
// A local serial line on termios: an exclusive, non-blocking descriptor in raw 8N1 with DTR and
// RTS raised, watched by a QSocketNotifier on the owner's thread.
#include <linux/serial.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lines/Line.h"

class QSocketNotifier;

namespace tarvik::comm {

inline constexpr uint32_t LineBaudRate = 9600;

// Why a line that is no terminal (a plain file, /dev/null) does not open; errno has no word for it.
inline constexpr const char* NotATerminal = "not a terminal";

// How long a write of `length` bytes may take: the time the bytes need at `baudRate` (ten bits
// each), plus a second.
constexpr std::chrono::milliseconds writeTimeout(size_t length, uint32_t baudRate = LineBaudRate) {
    const uint64_t bits = static_cast<uint64_t>(length > UINT32_MAX ? UINT32_MAX : length) * 10;
    return std::chrono::milliseconds((bits * 1000 + baudRate - 1) / baudRate + 1000);
}

// Whether the driver's error counters moved between two readings: overrun, parity, framing,
// buffer overrun or a break.
bool countersShowErrors(const serial_icounter_struct& before, const serial_icounter_struct& now);

class SerialLine final : public Line {
    Q_OBJECT

public:
    // Opens the device at `path`, which must be a terminal no other process holds; null with
    // `error` set when it cannot.
    static std::unique_ptr<SerialLine> open(const std::string& path, uint32_t baudRate, LineError& error);
    ~SerialLine() override;

    bool isOpen() const override { return m_fd >= 0; }
    uint32_t read(uint8_t* buffer, size_t size, size_t& count) override;
    uint32_t write(const uint8_t* bytes, size_t length, size_t& count) override;
    void close() override;

private:
    SerialLine(int fd, uint32_t baudRate);
    void configure();
    void onActivated();
    // Hands `bytes` to the driver until it has taken them all or `deadline` passes.
    uint32_t put(const uint8_t* bytes, size_t length, size_t& count, std::chrono::steady_clock::time_point deadline);

    int m_fd;
    const uint32_t m_baudRate;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_hungUp = false;
    uint64_t m_reads = 0;
    std::vector<uint8_t> m_unsent;  // the rest of a write the line stopped taking
    bool m_stalled = false;         // the last write ran out of time
    bool m_haveCounters = false;
    serial_icounter_struct m_counters{};
};

// Opens "COMn" through the ports folder as a SerialLine.
class SerialLineOpener final : public LineOpener {
public:
    explicit SerialLineOpener(uint32_t baudRate = LineBaudRate) : m_baudRate(baudRate) {}
    std::unique_ptr<Line> open(const std::string& name, OpenReport& report) override;

private:
    const uint32_t m_baudRate;
};

LineOpener& serialLines();

}  // namespace tarvik::comm
