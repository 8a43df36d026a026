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

class CSinkList {
public:
    // Storage never grows past this many slots; Advise then fails as at the advise limit.
    static constexpr size_t kMaxSlots = 1024;

    // The new sink's cookie (never 0), or 0 when no slot can be had.
    uint32_t Advise(SinkRef sink);

    enum class Removal { Removed, NoConnection, NotOwner };
    // Empties the slot of `cookie` if `caller` is the connection that advised it.
    Removal Unadvise(uint32_t cookie, const std::string& caller);
    // Empties every slot of `connection`, as if each were unadvised.
    void RemoveConnection(const std::string& connection);
    bool HasConnection(const std::string& connection) const;

    // The number of slots, empty or not (the single-entry form counts 1).
    size_t SlotCount() const { return slots_.size(); }
    // Each connected sink in slot order, the count read once before the loop.
    void ForEach(const std::function<void(const SinkRef&)>& visit) const;
    // The cookie held in `slot`, or 0 when it is empty.
    uint32_t CookieAt(size_t slot) const;

private:
    struct Entry {
        SinkRef sink;
        uint32_t cookie;
    };
    void Empty(size_t slot);

    std::vector<std::optional<Entry>> slots_;
    uint32_t nextCookie_ = 1;
};

}  // namespace tarvik
