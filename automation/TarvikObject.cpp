#include "automation/TarvikObject.h"

#include <utility>

#include "common/CodePage.h"

namespace tarvik {

CallStatus CInstrumentSends::SendString(std::string_view utf8) {
    utf8 = utf8.substr(0, utf8.find('\0'));
    // Every character becomes one byte and takes at most four in UTF-8: a text this long is over
    // the limit without converting it.
    if (utf8.size() > 4 * kMaxSendStringBytes) return CallStatus::LimitsExceeded;
    const std::string bytes = ToAnsiBytes(utf8);
    if (bytes.size() > kMaxSendStringBytes) return CallStatus::LimitsExceeded;
    if (host_) host_->Ports().SendTextToPorts(bytes);
    return CallStatus::Ok;
}

void CInstrumentSends::SendRawByte(int32_t value) {
    if (host_) host_->Ports().SendByteToPorts(static_cast<uint8_t>(value & 0xFF));
}

void CInstrumentSends::SetMousePosition(int16_t x, int16_t y) {
    if (!host_) return;
    host_->SharedMouseState().m_ptInstrumentCursor = {x, y};
    SendPacket();
}

void CInstrumentSends::SetMouseActive(bool active) {
    if (!host_) return;
    host_->SharedMouseState().m_bMouseActive = active ? 1 : 0;
    SendPacket();
}

void CInstrumentSends::SetMouseButton(bool down) {
    if (!host_) return;
    host_->SharedMouseState().m_bMouseButton = down ? 1 : 0;
    SendPacket();
}

void CInstrumentSends::SendPacket() { host_->SendMousePacket(); }

CTarvikObject::CTarvikObject(uint32_t id, std::string owner, IAutomationHost* host, CTarvikModule& module,
                             IEventSender& events)
    : id_(id),
      owner_(std::move(owner)),
      module_(module),
      events_(events) {
    SetHost(host);
    if (host) host->SetAutomationObject(this);
    module_.Lock();
}

CTarvikObject::~CTarvikObject() {
    module_.Unlock();
    // Cleared even when a later object has taken the field over: from now on neither fires.
    if (Host()) Host()->SetAutomationObject(nullptr);
}

void CTarvikObject::FireInstrumentChanged(const std::string& name) {
    const std::string text = BusText(name);
    sinks_.ForEach([&](const SinkRef& sink) { events_.SendInstrumentChanged(sink, text); });
}

std::string BusText(std::string_view ansi) {
    // A bus string cannot hold NUL, so a name ends at its first.
    return FromAnsiBytes(ansi.substr(0, ansi.find('\0')));
}

}  // namespace tarvik
