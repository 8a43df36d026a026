#include "automation/SinkList.h"

#include <algorithm>

namespace tarvik {

uint32_t CSinkList::Advise(SinkRef sink) {
    size_t slot = 0;
    if (slots_.empty()) {
        slots_.resize(1);
    } else if (slots_.size() == 1) {
        slots_.resize(4);
        slot = 1;
    } else {
        auto free = std::find_if(slots_.begin(), slots_.end(), [](const auto& s) { return !s.has_value(); });
        slot = static_cast<size_t>(free - slots_.begin());
        if (free == slots_.end()) {
            if (slots_.size() * 2 > kMaxSlots) return 0;
            slots_.resize(slots_.size() * 2);
        }
    }
    const uint32_t cookie = nextCookie_++;
    if (nextCookie_ == 0) nextCookie_ = 1;
    slots_[slot] = Entry{std::move(sink), cookie};
    return cookie;
}

void CSinkList::Empty(size_t slot) {
    // The single-entry form goes back to empty; the slot table never shrinks.
    if (slots_.size() == 1) slots_.clear();
    else slots_[slot].reset();
}

CSinkList::Removal CSinkList::Unadvise(uint32_t cookie, const std::string& caller) {
    if (cookie == 0) return Removal::NoConnection;
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (!slots_[i] || slots_[i]->cookie != cookie) continue;
        if (slots_[i]->sink.connection != caller) return Removal::NotOwner;
        Empty(i);
        return Removal::Removed;
    }
    return Removal::NoConnection;
}

void CSinkList::RemoveConnection(const std::string& connection) {
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i] && slots_[i]->sink.connection == connection) Empty(i);
    }
}

bool CSinkList::HasConnection(const std::string& connection) const {
    return std::any_of(slots_.begin(), slots_.end(),
                       [&](const auto& s) { return s.has_value() && s->sink.connection == connection; });
}

void CSinkList::ForEach(const std::function<void(const SinkRef&)>& visit) const {
    const size_t count = slots_.size();
    for (size_t i = 0; i < count && i < slots_.size(); ++i) {
        if (slots_[i]) visit(slots_[i]->sink);
    }
}

uint32_t CSinkList::CookieAt(size_t slot) const {
    return slot < slots_.size() && slots_[slot] ? slots_[slot]->cookie : 0;
}

}  // namespace tarvik
