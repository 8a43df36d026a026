#pragma once
// The automation object a client creates, and the five sends it shares with the control
// interface. The object keeps no instrument state of its own: everything goes to the main window
// through AutomationHost, and nothing happens while there is no window.
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
inline constexpr size_t MaxSendStringBytes = 4096;

class InstrumentSends {
public:
    void setHost(AutomationHost* host) { m_host = host; }
    AutomationHost* host() const { return m_host; }

    // The text up to its first NUL, as Windows-1252 bytes; refused whole when they are too many.
    CallStatus sendString(std::string_view utf8);
    // The low 8 bits, untranslated.
    void sendRawByte(int32_t value);
    // Each stores into the shared mouse state and sends one packet.
    void setMousePosition(int16_t x, int16_t y);
    void setMouseActive(bool active);
    void setMouseButton(bool down);

private:
    void sendPacket();
    AutomationHost* m_host = nullptr;
};

// A name as the line gave it (Windows-1252 bytes) as the UTF-8 text clients receive.
std::string busText(std::string_view ansi);

// Sends one event, with the name as UTF-8, to one sink without waiting for it.
class EventSender {
public:
    virtual ~EventSender() = default;
    virtual void sendInstrumentChanged(const SinkRef& sink, const std::string& name) = 0;
};

class TarvikObject : public InstrumentSends, public InstrumentEvents {
public:
    // Becomes the window's automation object and holds one module lock while it lives.
    TarvikObject(uint32_t id, std::string owner, AutomationHost* host, TarvikModule& module, EventSender& events);
    ~TarvikObject() override;
    TarvikObject(const TarvikObject&) = delete;
    TarvikObject& operator=(const TarvikObject&) = delete;

    uint32_t id() const { return m_id; }
    const std::string& owner() const { return m_owner; }
    SinkList& sinks() { return m_sinks; }
    const SinkList& sinks() const { return m_sinks; }

    // `name` as the line gave it; every connected sink hears it, in slot order.
    void fireInstrumentChanged(const std::string& name) override;

private:
    uint32_t m_id;
    std::string m_owner;
    TarvikModule& m_module;
    EventSender& m_events;
    SinkList m_sinks;
};

}  // namespace tarvik
