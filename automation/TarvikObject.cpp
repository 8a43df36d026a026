#include "automation/TarvikObject.h"

#include <utility>

#include "common/CodePage.h"

namespace tarvik {

CallStatus InstrumentSends::sendString(std::string_view utf8) {
    utf8 = utf8.substr(0, utf8.find('\0'));
    // Every character becomes one byte and takes at most four in UTF-8: a text this long is over
    // the limit without converting it.
    if (utf8.size() > 4 * MaxSendStringBytes) return CallStatus::LimitsExceeded;
    const std::string bytes = toAnsiBytes(utf8);
    if (bytes.size() > MaxSendStringBytes) return CallStatus::LimitsExceeded;
    if (m_host) m_host->ports().sendTextToPorts(bytes);
    return CallStatus::Ok;
}

void InstrumentSends::sendRawByte(int32_t value) {
    if (m_host) m_host->ports().sendByteToPorts(static_cast<uint8_t>(value & 0xFF));
}

void InstrumentSends::setMousePosition(int16_t x, int16_t y) {
    if (!m_host) return;
    m_host->sharedMouseState().m_instrumentCursor = {x, y};
    sendPacket();
}

void InstrumentSends::setMouseActive(bool active) {
    if (!m_host) return;
    m_host->sharedMouseState().m_mouseActive = active ? 1 : 0;
    sendPacket();
}

void InstrumentSends::setMouseButton(bool down) {
    if (!m_host) return;
    m_host->sharedMouseState().m_mouseButton = down ? 1 : 0;
    sendPacket();
}

void InstrumentSends::sendPacket() { m_host->sendMousePacket(); }

TarvikObject::TarvikObject(uint32_t id, std::string owner, AutomationHost* host, TarvikModule& module,
                           EventSender& events)
    : m_id(id),
      m_owner(std::move(owner)),
      m_module(module),
      m_events(events) {
    setHost(host);
    if (host) host->setAutomationObject(this);
    m_module.lock();
}

TarvikObject::~TarvikObject() {
    m_module.unlock();
    // Cleared even when a later object has taken the field over: from now on neither fires.
    if (host()) host()->setAutomationObject(nullptr);
}

void TarvikObject::fireInstrumentChanged(const std::string& name) {
    const std::string text = busText(name);
    m_sinks.forEach([&](const SinkRef& sink) { m_events.sendInstrumentChanged(sink, text); });
}

std::string busText(std::string_view ansi) {
    // A bus string cannot hold NUL, so a name ends at its first.
    return fromAnsiBytes(ansi.substr(0, ansi.find('\0')));
}

}  // namespace tarvik
