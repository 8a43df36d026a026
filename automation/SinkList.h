#pragma once
// The event sinks connected to one automation object, in the slots a client's Advise fills:
// the first sink alone, then four slots, then doubling; an emptied slot is taken by the next
// Advise, and sinks are called in slot order.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

// A sink object: an object path on a client's bus connection.
struct SinkRef {
    std::string connection;
    std::string path;
    friend bool operator==(const SinkRef&, const SinkRef&) = default;
};

class SinkList {
public:
    // Storage never grows past this many slots; Advise then fails as at the advise limit.
    static constexpr size_t MaxSlots = 1024;

    // The new sink's cookie (never 0), or 0 when no slot can be had.
    uint32_t advise(SinkRef sink);

    enum class Removal { Removed, NoConnection, NotOwner };
    // Empties the slot of `cookie` if `caller` is the connection that advised it.
    Removal unadvise(uint32_t cookie, const std::string& caller);
    // Empties every slot of `connection`, as if each were unadvised.
    void removeConnection(const std::string& connection);
    bool hasConnection(const std::string& connection) const;

    // The number of slots, empty or not (the single-entry form counts 1).
    size_t slotCount() const { return m_slots.size(); }
    // Each connected sink in slot order, the count read once before the loop.
    void forEach(const std::function<void(const SinkRef&)>& visit) const;
    // The cookie held in `slot`, or 0 when it is empty.
    uint32_t cookieAt(size_t slot) const;

private:
    struct Entry {
        SinkRef sink;
        uint32_t cookie;
    };
    void empty(size_t slot);

    std::vector<std::optional<Entry>> m_slots;
    uint32_t m_nextCookie = 1;
};

}  // namespace tarvik
