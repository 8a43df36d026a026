#pragma once
// A window message carried as a posted Qt event, so other threads reach the window only through
// the GUI thread's event queue. The event's type comes from the toolkit's user range and the
// message number travels inside: the numbers themselves (16 for WM_CLOSE, 123 for
// WM_CONTEXTMENU) are the toolkit's own event types, which it routes and casts as its own.
#include <cstdint>

#include <QEvent>

namespace tarvik {

inline constexpr uint32_t WM_CONTEXTMENU = 0x007B;
inline constexpr uint32_t WM_COMMAND = 0x0111;  // wParam: the command id
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_RESTORE = 9;

class MessageEvent : public QEvent {
public:
    // The one event type of every window message, registered on first use.
    static QEvent::Type eventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    MessageEvent(uint32_t message, uint64_t wParam, int64_t lParam)
        : QEvent(eventType()),
          m_message(message),
          m_wParam(wParam),
          m_lParam(lParam) {}

    uint32_t message() const { return m_message; }
    uint64_t wParam() const { return m_wParam; }
    int64_t lParam() const { return m_lParam; }

private:
    uint32_t m_message;
    uint64_t m_wParam;
    int64_t m_lParam;
};

// A screen point packed as the system packs it: x in the low 16 bits, y in the next 16, signed.
inline int64_t packPoint(int x, int y) {
    return static_cast<int64_t>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x));
}
inline int pointX(int64_t packed) { return static_cast<int16_t>(packed & 0xFFFF); }
inline int pointY(int64_t packed) { return static_cast<int16_t>((packed >> 16) & 0xFFFF); }

}  // namespace tarvik
