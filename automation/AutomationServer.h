#pragma once
// The server's bookkeeping, apart from any bus: which connection created which object, holds
// which server locks and advised which sinks, so that a client may only undo its own, and so
// that everything a client held goes at once when its connection does.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "automation/TarvikObject.h"

namespace tarvik {

class AutomationServer {
public:
    // Live objects and per-connection server locks are bounded, so no client can exhaust memory.
    static constexpr size_t MaxObjects = 1024;
    static constexpr int32_t MaxLocksPerConnection = 65536;

    AutomationServer(TarvikModule& module, EventSender& events);
    ~AutomationServer();

    // The main window, or null once it is gone: objects made before and after reach it through this.
    void setHost(AutomationHost* host);
    // The sends of the control interface, which hold no lock.
    InstrumentSends& control() { return m_control; }

    // A new object owned by `caller`; its id names it on the bus. 0 with LimitsExceeded.
    uint32_t createInstance(const std::string& caller, CallStatus& status);
    CallStatus release(const std::string& caller, uint32_t id);
    CallStatus lockServer(const std::string& caller, bool lock);
    TarvikObject* find(uint32_t id);
    CallStatus advise(const std::string& caller, uint32_t id, const std::string& sinkPath, uint32_t& cookie);
    CallStatus unadvise(const std::string& caller, uint32_t id, uint32_t cookie);

    // The connection went away: its sinks leave every object, then its objects and its locks go.
    // Returns the ids of the objects that went.
    std::vector<uint32_t> connectionClosed(const std::string& connection);
    // True while the connection holds an object, a lock or a sink.
    bool holds(const std::string& connection) const;
    // Every object at once (the process ends); returns their ids.
    std::vector<uint32_t> releaseAll();

    size_t objectCount() const { return m_objects.size(); }

private:
    TarvikModule& m_module;
    EventSender& m_events;
    AutomationHost* m_host = nullptr;
    InstrumentSends m_control;
    std::map<uint32_t, std::unique_ptr<TarvikObject>> m_objects;
    std::map<std::string, int32_t> m_serverLocks;
    uint32_t m_nextId = 1;
};

}  // namespace tarvik
