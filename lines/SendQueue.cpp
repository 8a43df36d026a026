#include "lines/SendQueue.h"

#include <algorithm>

namespace tarvik::net {

bool SendQueue::Add(std::span<const uint8_t> bytes, Clock::time_point now) {
    if (!sends_.empty() && sends_.front().deadline < now) return false;
    if (bytes.empty()) return true;
    const auto allowed = std::chrono::milliseconds(bytes.size() * 10 * 1000 / baud_ + 1000);
    sends_.push_back(Send{std::vector<uint8_t>(bytes.begin(), bytes.end()), 0, now + allowed});
    return true;
}

std::span<const uint8_t> SendQueue::Next() const {
    if (sends_.empty()) return {};
    const Send& send = sends_.front();
    return std::span<const uint8_t>(send.bytes).subspan(send.taken);
}

void SendQueue::Took(size_t count) {
    if (sends_.empty()) return;
    Send& send = sends_.front();
    send.taken = std::min(send.bytes.size(), send.taken + count);
    if (send.taken == send.bytes.size()) sends_.pop_front();
}

size_t SendQueue::Pending() const {
    size_t total = 0;
    for (const Send& send : sends_) total += send.bytes.size() - send.taken;
    return total;
}

}  // namespace tarvik::net
