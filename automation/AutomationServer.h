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

class CAutomationServer {
public:
    // Live objects and per-connection server locks are bounded, so no client can exhaust memory.
    static constexpr size_t kMaxObjects = 1024;
    static constexpr int32_t kMaxLocksPerConnection = 65536;

    CAutomationServer(CTarvikModule& module, IEventSender& events);
    ~CAutomationServer();

    // The main window, or null once it is gone: objects made before and after reach it through this.
    void SetHost(IAutomationHost* host);
    // The sends of the control interface, which hold no lock.
    CInstrumentSends& Control() { return control_; }

    // A new object owned by `caller`; its id names it on the bus. 0 with LimitsExceeded.
    uint32_t CreateInstance(const std::string& caller, CallStatus& status);
    CallStatus Release(const std::string& caller, uint32_t id);
    CallStatus LockServer(const std::string& caller, bool lock);
    CTarvikObject* Find(uint32_t id);
    CallStatus Advise(const std::string& caller, uint32_t id, const std::string& sinkPath, uint32_t& cookie);
    CallStatus Unadvise(const std::string& caller, uint32_t id, uint32_t cookie);

    // The connection went away: its sinks leave every object, then its objects and its locks go.
    // Returns the ids of the objects that went.
    std::vector<uint32_t> ConnectionClosed(const std::string& connection);
    // True while the connection holds an object, a lock or a sink.
    bool Holds(const std::string& connection) const;
    // Every object at once (the process ends); returns their ids.
    std::vector<uint32_t> ReleaseAll();

    size_t ObjectCount() const { return objects_.size(); }

private:
    CTarvikModule& module_;
    IEventSender& events_;
    IAutomationHost* host_ = nullptr;
    CInstrumentSends control_;
    std::map<uint32_t, std::unique_ptr<CTarvikObject>> objects_;
    std::map<std::string, int32_t> serverLocks_;
    uint32_t nextId_ = 1;
};

}  // namespace tarvik
