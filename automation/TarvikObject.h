#pragma once
// The automation object a client creates, and the five sends it shares with the control
// interface. The object keeps no instrument state of its own: everything goes to the main window
// through IAutomationHost, and nothing happens while there is no window.
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/AutomationHost.h"
#include "automation/InstrumentEvents.h"
#include "automation/SinkList.h"
#include "automation/TarvikModule.h"

namespace tarvik {

// How a client call ended; each failure becomes its own bus error.
enum class CallStatus {
    Ok,
    AccessDenied,    // the object, cookie or lock belongs to another connection
    LimitsExceeded,  // too long a text, too many objects, sinks or locks
    NoConnection,    // no sink with that cookie
    NoObject,        // no such object
};

// A text a client may send at once: at 9600 baud each thousand bytes take a second of the
// window's thread.
inline constexpr size_t kMaxSendStringBytes = 4096;

class CInstrumentSends {
public:
    void SetHost(IAutomationHost* host) { host_ = host; }
    IAutomationHost* Host() const { return host_; }

    // The text up to its first NUL, as Windows-1252 bytes; refused whole when they are too many.
    CallStatus SendString(std::string_view utf8);
    // The low 8 bits, untranslated.
    void SendRawByte(int32_t value);
    // Each stores into the shared mouse state and sends one packet.
    void SetMousePosition(int16_t x, int16_t y);
    void SetMouseActive(bool active);
    void SetMouseButton(bool down);

private:
    void SendPacket();
    IAutomationHost* host_ = nullptr;
};

// A name as the line gave it (Windows-1252 bytes) as the UTF-8 text clients receive.
std::string BusText(std::string_view ansi);

// Sends one event, with the name as UTF-8, to one sink without waiting for it.
class IEventSender {
public:
    virtual ~IEventSender() = default;
    virtual void SendInstrumentChanged(const SinkRef& sink, const std::string& name) = 0;
};

class CTarvikObject : public CInstrumentSends, public IInstrumentEvents {
public:
    // Becomes the window's automation object and holds one module lock while it lives.
    CTarvikObject(uint32_t id, std::string owner, IAutomationHost* host, CTarvikModule& module, IEventSender& events);
    ~CTarvikObject() override;
    CTarvikObject(const CTarvikObject&) = delete;
    CTarvikObject& operator=(const CTarvikObject&) = delete;

    uint32_t Id() const { return id_; }
    const std::string& Owner() const { return owner_; }
    CSinkList& Sinks() { return sinks_; }
    const CSinkList& Sinks() const { return sinks_; }

    // `name` as the line gave it; every connected sink hears it, in slot order.
    void FireInstrumentChanged(const std::string& name) override;

private:
    uint32_t id_;
    std::string owner_;
    CTarvikModule& module_;
    IEventSender& events_;
    CSinkList sinks_;
};

}  // namespace tarvik
