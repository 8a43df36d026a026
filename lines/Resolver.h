#pragma once
// Looks a host name up without holding the window: getaddrinfo runs on a thread of its own and
// the answer comes back as a queued call on the thread that asked.
#include <sys/socket.h>

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarvik::net {

struct Resolved {
    int gaiError = 0;                         // 0 when addresses were found
    int systemError = 0;                      // errno, for EAI_SYSTEM
    std::vector<sockaddr_storage> addresses;  // in the resolver's order of preference, port set
};

class Lookup;

// Starts looking `host` up. `done` runs on `receiver`'s thread unless the lookup is cancelled or
// `receiver` is gone first. The lookup ends when the returned handle is dropped or cancelled.
class PendingLookup {
public:
    explicit PendingLookup(std::shared_ptr<Lookup> lookup) : m_lookup(std::move(lookup)) {}
    ~PendingLookup() { cancel(); }
    PendingLookup(const PendingLookup&) = delete;
    PendingLookup& operator=(const PendingLookup&) = delete;
    void cancel();

private:
    std::shared_ptr<Lookup> m_lookup;
};

std::unique_ptr<PendingLookup> resolve(const std::string& host, uint16_t port, QObject* receiver,
                                       std::function<void(Resolved)> done);

}  // namespace tarvik::net
