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
    static constexpr size_t kMaxQueued = 64 * 1024;

    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Creates the pseudo-terminal in raw mode and keeps a slave descriptor of our own open, so
    // the line survives the other side closing and reopening it. False with `error` set on failure.
    bool Open(std::string& error);
    // Closes both descriptors, so the other side sees the line hang up and its device node goes;
    // what was queued is dropped. Open makes a new line afterwards.
    void Close();
    // Hangs up as Close does, but keeps the old line's number taken until ReleaseOldNumber: the
    // kernel would otherwise hand it to the next pseudo-terminal made anywhere on the machine, and
    // a program reopening the old name would find somebody else's line behind it.
    void Unplug();
    void ReleaseOldNumber();
    bool IsOpen() const { return master_ >= 0; }

    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }

    // Queues bytes and writes what the line takes now. Returns how many bytes were refused
    // because too much is already waiting (nobody reads the other end).
    size_t Send(std::string_view bytes);
    // Writes what is queued as far as the line takes it; false on a write error other than "full".
    bool Flush(std::string& error);
    bool HasQueued() const { return !queue_.empty(); }
    size_t Queued() const { return queue_.size(); }

    // Reads what is there without blocking: >0 bytes read, 0 nothing now, -1 error (errno set).
    ssize_t Read(uint8_t* buffer, size_t size);

private:
    int master_ = -1;
    int spareSlave_ = -1;
    int oldNumber_ = -1;  // a slave descriptor of an unplugged line, holding its number
    std::string slavePath_;
    std::string queue_;
};

}  // namespace tarvik::sim
