#include "automation/AutomationServer.h"

#include <utility>

namespace tarvik {

CAutomationServer::CAutomationServer(CTarvikModule& module, IEventSender& events) : module_(module), events_(events) {}

CAutomationServer::~CAutomationServer() { ReleaseAll(); }

void CAutomationServer::SetHost(IAutomationHost* host) {
    host_ = host;
    control_.SetHost(host);
    for (auto& [id, object] : objects_) object->SetHost(host);
}

uint32_t CAutomationServer::CreateInstance(const std::string& caller, CallStatus& status) {
    if (objects_.size() >= kMaxObjects) {
        status = CallStatus::LimitsExceeded;
        return 0;
    }
    const uint32_t id = nextId_++;
    objects_[id] = std::make_unique<CTarvikObject>(id, caller, host_, module_, events_);
    status = CallStatus::Ok;
    return id;
}

CallStatus CAutomationServer::Release(const std::string& caller, uint32_t id) {
    auto it = objects_.find(id);
    if (it == objects_.end()) return CallStatus::NoObject;
    if (it->second->Owner() != caller) return CallStatus::AccessDenied;
    // Out of the table first: the last unlock posts a close, which must find the table settled.
    std::unique_ptr<CTarvikObject> object = std::move(it->second);
    objects_.erase(it);
    object.reset();
    return CallStatus::Ok;
}

CallStatus CAutomationServer::LockServer(const std::string& caller, bool lock) {
    int32_t& held = serverLocks_[caller];
    if (lock && held >= kMaxLocksPerConnection) return CallStatus::LimitsExceeded;
    if (!lock && held == 0) {
        // An unlock nobody took would count another client's lock down, or below zero.
        serverLocks_.erase(caller);
        return CallStatus::AccessDenied;
    }
    if (lock) {
        ++held;
        module_.Lock();
    } else {
        if (--held == 0) serverLocks_.erase(caller);
        module_.Unlock();
    }
    return CallStatus::Ok;
}

CTarvikObject* CAutomationServer::Find(uint32_t id) {
    auto it = objects_.find(id);
    return it == objects_.end() ? nullptr : it->second.get();
}

CallStatus CAutomationServer::Advise(const std::string& caller, uint32_t id, const std::string& sinkPath,
                                     uint32_t& cookie) {
    cookie = 0;
    CTarvikObject* object = Find(id);
    if (!object) return CallStatus::NoObject;
    cookie = object->Sinks().Advise({caller, sinkPath});
    return cookie != 0 ? CallStatus::Ok : CallStatus::LimitsExceeded;
}

CallStatus CAutomationServer::Unadvise(const std::string& caller, uint32_t id, uint32_t cookie) {
    CTarvikObject* object = Find(id);
    if (!object) return CallStatus::NoObject;
    switch (object->Sinks().Unadvise(cookie, caller)) {
        case CSinkList::Removal::Removed: return CallStatus::Ok;
        case CSinkList::Removal::NotOwner: return CallStatus::AccessDenied;
        case CSinkList::Removal::NoConnection: break;
    }
    return CallStatus::NoConnection;
}

std::vector<uint32_t> CAutomationServer::ConnectionClosed(const std::string& connection) {
    for (auto& [id, object] : objects_) object->Sinks().RemoveConnection(connection);
    std::vector<uint32_t> gone;
    for (auto& [id, object] : objects_) {
        if (object->Owner() == connection) gone.push_back(id);
    }
    for (uint32_t id : gone) Release(connection, id);
    auto locks = serverLocks_.find(connection);
    if (locks != serverLocks_.end()) {
        const int32_t held = locks->second;
        serverLocks_.erase(locks);
        for (int32_t i = 0; i < held; ++i) module_.Unlock();
    }
    return gone;
}

bool CAutomationServer::Holds(const std::string& connection) const {
    if (serverLocks_.count(connection) != 0) return true;
    for (const auto& [id, object] : objects_) {
        if (object->Owner() == connection || object->Sinks().HasConnection(connection)) return true;
    }
    return false;
}

std::vector<uint32_t> CAutomationServer::ReleaseAll() {
    std::vector<uint32_t> gone;
    while (!objects_.empty()) {
        auto it = objects_.begin();
        gone.push_back(it->first);
        std::unique_ptr<CTarvikObject> object = std::move(it->second);
        objects_.erase(it);
    }
    return gone;
}

}  // namespace tarvik
