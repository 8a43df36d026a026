#pragma once
// One simulated serial line: the master side of a pseudo-terminal, whose slave side is what the
// program under test opens as its COM port.
#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik::sim {

class PtyLine {
public:
    // Bytes that may wait for the other side to read before new ones are refused.
    static constexpr size_t MaxQueued = 64 * 1024;

    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Creates the pseudo-terminal in raw mode and keeps a slave descriptor of our own open, so
    // the line survives the other side closing and reopening it. False with `error` set on failure.
    bool open(std::string& error);
    // Closes both descriptors, so the other side sees the line hang up and its device node goes;
    // what was queued is dropped. Open makes a new line afterwards.
    void close();
    // Hangs up as Close does, but keeps the old line's number taken until releaseOldNumber: the
    // kernel would otherwise hand it to the next pseudo-terminal made anywhere on the machine, and
    // a program reopening the old name would find somebody else's line behind it.
    void unplug();
    void releaseOldNumber();
    bool isOpen() const { return m_master >= 0; }

    int masterFd() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }

    // Queues bytes and writes what the line takes now. Returns how many bytes were refused
    // because too much is already waiting (nobody reads the other end).
    size_t send(std::string_view bytes);
    // Writes what is queued as far as the line takes it; false on a write error other than "full".
    bool flush(std::string& error);
    bool hasQueued() const { return !m_queue.empty(); }
    size_t queued() const { return m_queue.size(); }

    // Reads what is there without blocking: >0 bytes read, 0 nothing now, -1 error (errno set).
    ssize_t read(uint8_t* buffer, size_t size);

private:
    int m_master = -1;
    int m_spareSlave = -1;
    int m_oldNumber = -1;  // a slave descriptor of an unplugged line, holding its number
    std::string m_slavePath;
    std::string m_queue;
};

}  // namespace tarvik::sim
