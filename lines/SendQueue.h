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

    explicit SendQueue(uint32_t baud) : baud_(baud ? baud : 1) {}

    // Queues `bytes`, unless the oldest send waiting has outstayed its time (false).
    bool Add(std::span<const uint8_t> bytes, Clock::time_point now);
    // The first send's bytes not yet taken; empty when nothing waits.
    std::span<const uint8_t> Next() const;
    void Took(size_t count);
    bool Empty() const { return sends_.empty(); }
    size_t Pending() const;
    void Clear() { sends_.clear(); }

private:
    struct Send {
        std::vector<uint8_t> bytes;
        size_t taken = 0;
        Clock::time_point deadline;
    };

    uint32_t baud_;
    std::deque<Send> sends_;
};

}  // namespace tarvik::net
