#pragma once
// A window message carried as a posted Qt event whose type is the message number, so other
// threads reach the window only through the GUI thread's event queue.
#include <cstdint>

#include <QEvent>

namespace tarvik {

inline constexpr uint32_t WM_CONTEXTMENU = 0x007B;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_RESTORE = 9;

class CMessageEvent : public QEvent {
public:
    CMessageEvent(uint32_t message, uint64_t wParam, int64_t lParam)
        : QEvent(static_cast<QEvent::Type>(message)),
          m_message(message),
          m_wParam(wParam),
          m_lParam(lParam) {}

    uint32_t Message() const { return m_message; }
    uint64_t WParam() const { return m_wParam; }
    int64_t LParam() const { return m_lParam; }

private:
    uint32_t m_message;
    uint64_t m_wParam;
    int64_t m_lParam;
};

// A screen point packed as the system packs it: x in the low 16 bits, y in the next 16, signed.
inline int64_t PackPoint(int x, int y) {
    return static_cast<int64_t>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x));
}
inline int PointX(int64_t packed) { return static_cast<int16_t>(packed & 0xFFFF); }
inline int PointY(int64_t packed) { return static_cast<int16_t>((packed >> 16) & 0xFFFF); }

}  // namespace tarvik
