#include "lines/Resolver.h"

#include <netdb.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

namespace tarvik::net {

// Shared by the asking side and the worker: the receiver is only posted to while the lock is held
// and the asking side has not cancelled, so the worker never posts to an object already gone.
class Lookup {
public:
    Lookup(QObject* receiver, std::function<void(Resolved)> done) : m_receiver(receiver), m_done(std::move(done)) {}

    void cancel() {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_receiver = nullptr;
    }

    void deliver(Resolved result) {
        std::lock_guard<std::mutex> hold(m_mutex);
        if (!m_receiver) return;
        // A receiver deleted after this post drops the call with its other posted events.
        QMetaObject::invokeMethod(
            m_receiver, [done = std::move(m_done), result = std::move(result)] { done(result); }, Qt::QueuedConnection);
        m_receiver = nullptr;
    }

private:
    std::mutex m_mutex;
    QObject* m_receiver;
    std::function<void(Resolved)> m_done;
};

void PendingLookup::cancel() {
    if (m_lookup) m_lookup->cancel();
    m_lookup.reset();
}

namespace {

Resolved lookUp(const std::string& host, uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    Resolved result;
    const std::string service = std::to_string(port);
    result.gaiError = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    result.systemError = result.gaiError == EAI_SYSTEM ? errno : 0;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
        sockaddr_storage address{};
        std::memcpy(&address, entry->ai_addr, std::min<size_t>(entry->ai_addrlen, sizeof address));
        result.addresses.push_back(address);
    }
    if (found) ::freeaddrinfo(found);
    if (result.gaiError == 0 && result.addresses.empty()) result.gaiError = EAI_NONAME;
    return result;
}

}  // namespace

std::unique_ptr<PendingLookup> resolve(const std::string& host, uint16_t port, QObject* receiver,
                                       std::function<void(Resolved)> done) {
    auto lookup = std::make_shared<Lookup>(receiver, std::move(done));
    // Detached: a lookup the system is slow to answer must not hold up closing the line or the
    // program; its answer, if any, goes nowhere once cancelled.
    std::thread([lookup, host, port] { lookup->deliver(lookUp(host, port)); }).detach();
    return std::make_unique<PendingLookup>(lookup);
}

}  // namespace tarvik::net
