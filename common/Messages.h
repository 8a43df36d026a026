#pragma once
// Window message numbers and the one way other threads reach the GUI thread.
#include <cstdint>

namespace tarvik {

inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t UWM_SHUTDOWN = WM_USER + 3;    // 1027
inline constexpr uint32_t UWM_TRAYNOTIFY = WM_USER + 5;  // 1029
inline constexpr uint32_t UWM_KEYCODE = WM_USER + 15;    // 1039

// The two lines, as their states and traffic name them.
inline constexpr int32_t PortIdDisplay = 101;
inline constexpr int32_t PortIdMerge = 102;

// Command identifiers.
inline constexpr uint32_t IDM_ABOUTBOX = 16;
inline constexpr uint32_t ID_MENU_PROPERTIES = 32771;
inline constexpr uint32_t ID_MENU_CLOSE = 32772;
inline constexpr uint32_t ID_MENU_EXIT = 32778;
inline constexpr uint32_t ID_MENU_MONITOR = 32790;  // the traffic monitor
inline constexpr uint32_t ID_HELP = 57670;

// A window that accepts posted messages. Post may be called from any thread and never blocks;
// the message is handled later on the window's own thread.
class IMessagePoster {
public:
    virtual ~IMessagePoster() = default;
    virtual void Post(uint32_t message, uint64_t wParam, int64_t lParam) = 0;
};

}  // namespace tarvik
