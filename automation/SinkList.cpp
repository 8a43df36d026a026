#include "automation/SinkList.h"

#include <algorithm>

namespace tarvik {

uint32_t SinkList::advise(SinkRef sink) {
    size_t slot = 0;
    if (m_slots.empty()) {
        m_slots.resize(1);
    } else if (m_slots.size() == 1) {
        m_slots.resize(4);
        slot = 1;
    } else {
        auto free = std::find_if(m_slots.begin(), m_slots.end(), [](const auto& s) { return !s.has_value(); });
        slot = static_cast<size_t>(free - m_slots.begin());
        if (free == m_slots.end()) {
            if (m_slots.size() * 2 > MaxSlots) return 0;
            m_slots.resize(m_slots.size() * 2);
        }
    }
    const uint32_t cookie = m_nextCookie++;
    if (m_nextCookie == 0) m_nextCookie = 1;
    m_slots[slot] = Entry{std::move(sink), cookie};
    return cookie;
}

void SinkList::empty(size_t slot) {
    // The single-entry form goes back to empty; the slot table never shrinks.
    if (m_slots.size() == 1) m_slots.clear();
    else m_slots[slot].reset();
}

SinkList::Removal SinkList::unadvise(uint32_t cookie, const std::string& caller) {
    if (cookie == 0) return Removal::NoConnection;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (!m_slots[i] || m_slots[i]->cookie != cookie) continue;
        if (m_slots[i]->sink.connection != caller) return Removal::NotOwner;
        empty(i);
        return Removal::Removed;
    }
    return Removal::NoConnection;
}

void SinkList::removeConnection(const std::string& connection) {
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i] && m_slots[i]->sink.connection == connection) empty(i);
    }
}

bool SinkList::hasConnection(const std::string& connection) const {
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [&](const auto& s) { return s.has_value() && s->sink.connection == connection; });
}

void SinkList::forEach(const std::function<void(const SinkRef&)>& visit) const {
    const size_t count = m_slots.size();
    for (size_t i = 0; i < count && i < m_slots.size(); ++i) {
        if (m_slots[i]) visit(m_slots[i]->sink);
    }
}

uint32_t SinkList::cookieAt(size_t slot) const {
    return slot < m_slots.size() && m_slots[slot] ? m_slots[slot]->cookie : 0;
}

}  // namespace tarvik
