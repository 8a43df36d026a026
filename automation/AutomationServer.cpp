#include "automation/AutomationServer.h"

#include <utility>

namespace tarvik {

AutomationServer::AutomationServer(TarvikModule& module, EventSender& events) : m_module(module), m_events(events) {}

AutomationServer::~AutomationServer() { releaseAll(); }

void AutomationServer::setHost(AutomationHost* host) {
    m_host = host;
    m_control.setHost(host);
    for (auto& [id, object] : m_objects) object->setHost(host);
}

uint32_t AutomationServer::createInstance(const std::string& caller, CallStatus& status) {
    if (m_objects.size() >= MaxObjects) {
        status = CallStatus::LimitsExceeded;
        return 0;
    }
    const uint32_t id = m_nextId++;
    m_objects[id] = std::make_unique<TarvikObject>(id, caller, m_host, m_module, m_events);
    status = CallStatus::Ok;
    return id;
}

CallStatus AutomationServer::release(const std::string& caller, uint32_t id) {
    auto it = m_objects.find(id);
    if (it == m_objects.end()) return CallStatus::NoObject;
    if (it->second->owner() != caller) return CallStatus::AccessDenied;
    // Out of the table first: the last unlock posts a close, which must find the table settled.
    std::unique_ptr<TarvikObject> object = std::move(it->second);
    m_objects.erase(it);
    object.reset();
    return CallStatus::Ok;
}

CallStatus AutomationServer::lockServer(const std::string& caller, bool lock) {
    int32_t& held = m_serverLocks[caller];
    if (lock && held >= MaxLocksPerConnection) return CallStatus::LimitsExceeded;
    if (!lock && held == 0) {
        // An unlock nobody took would count another client's lock down, or below zero.
        m_serverLocks.erase(caller);
        return CallStatus::AccessDenied;
    }
    if (lock) {
        ++held;
        m_module.lock();
    } else {
        if (--held == 0) m_serverLocks.erase(caller);
        m_module.unlock();
    }
    return CallStatus::Ok;
}

TarvikObject* AutomationServer::find(uint32_t id) {
    auto it = m_objects.find(id);
    return it == m_objects.end() ? nullptr : it->second.get();
}

CallStatus AutomationServer::advise(const std::string& caller, uint32_t id, const std::string& sinkPath,
                                    uint32_t& cookie) {
    cookie = 0;
    TarvikObject* object = find(id);
    if (!object) return CallStatus::NoObject;
    cookie = object->sinks().advise({caller, sinkPath});
    return cookie != 0 ? CallStatus::Ok : CallStatus::LimitsExceeded;
}

CallStatus AutomationServer::unadvise(const std::string& caller, uint32_t id, uint32_t cookie) {
    TarvikObject* object = find(id);
    if (!object) return CallStatus::NoObject;
    switch (object->sinks().unadvise(cookie, caller)) {
        case SinkList::Removal::Removed: return CallStatus::Ok;
        case SinkList::Removal::NotOwner: return CallStatus::AccessDenied;
        case SinkList::Removal::NoConnection: break;
    }
    return CallStatus::NoConnection;
}

std::vector<uint32_t> AutomationServer::connectionClosed(const std::string& connection) {
    for (auto& [id, object] : m_objects) object->sinks().removeConnection(connection);
    std::vector<uint32_t> gone;
    for (auto& [id, object] : m_objects) {
        if (object->owner() == connection) gone.push_back(id);
    }
    for (uint32_t id : gone) release(connection, id);
    auto locks = m_serverLocks.find(connection);
    if (locks != m_serverLocks.end()) {
        const int32_t held = locks->second;
        m_serverLocks.erase(locks);
        for (int32_t i = 0; i < held; ++i) m_module.unlock();
    }
    return gone;
}

bool AutomationServer::holds(const std::string& connection) const {
    if (m_serverLocks.count(connection) != 0) return true;
    for (const auto& [id, object] : m_objects) {
        if (object->owner() == connection || object->sinks().hasConnection(connection)) return true;
    }
    return false;
}

std::vector<uint32_t> AutomationServer::releaseAll() {
    std::vector<uint32_t> gone;
    while (!m_objects.empty()) {
        auto it = m_objects.begin();
        gone.push_back(it->first);
        std::unique_ptr<TarvikObject> object = std::move(it->second);
        m_objects.erase(it);
    }
    return gone;
}

}  // namespace tarvik
