#include "lines/SendQueue.h"

#include <algorithm>

namespace tarvik::net {

bool SendQueue::add(std::span<const uint8_t> bytes, Clock::time_point now) {
    if (!m_sends.empty() && m_sends.front().deadline < now) return false;
    if (bytes.empty()) return true;
    const auto allowed = std::chrono::milliseconds(bytes.size() * 10 * 1000 / m_baud + 1000);
    m_sends.push_back(Send{std::vector<uint8_t>(bytes.begin(), bytes.end()), 0, now + allowed});
    return true;
}

std::span<const uint8_t> SendQueue::next() const {
    if (m_sends.empty()) return {};
    const Send& send = m_sends.front();
    return std::span<const uint8_t>(send.bytes).subspan(send.taken);
}

void SendQueue::took(size_t count) {
    if (m_sends.empty()) return;
    Send& send = m_sends.front();
    send.taken = std::min(send.bytes.size(), send.taken + count);
    if (send.taken == send.bytes.size()) m_sends.pop_front();
}

size_t SendQueue::pending() const {
    size_t total = 0;
    for (const Send& send : m_sends) total += send.bytes.size() - send.taken;
    return total;
}

}  // namespace tarvik::net
