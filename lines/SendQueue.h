#pragma once
// What a network line has taken to send and the connection has not taken yet, bounded as a local
// line's writes are: each send may take its bytes' time at the line's speed (ten bits a byte)
// plus one second. While the oldest send waiting has outstayed its time, new sends are refused
// whole, so a peer that stopped reading cannot make the queue grow; nothing taken is dropped, and
// sends go out whole and in order, so no packet reaches the instrument cut by another.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace tarvik::net {

class SendQueue {
public:
    using Clock = std::chrono::steady_clock;

    explicit SendQueue(uint32_t baud) : m_baud(baud ? baud : 1) {}

    // Queues `bytes`, unless the oldest send waiting has outstayed its time (false).
    bool add(std::span<const uint8_t> bytes, Clock::time_point now);
    // The first send's bytes not yet taken; empty when nothing waits.
    std::span<const uint8_t> next() const;
    void took(size_t count);
    bool empty() const { return m_sends.empty(); }
    size_t pending() const;
    void clear() { m_sends.clear(); }

private:
    struct Send {
        std::vector<uint8_t> bytes;
        size_t taken = 0;
        Clock::time_point deadline;
    };

    uint32_t m_baud;
    std::deque<Send> m_sends;
};

}  // namespace tarvik::net
