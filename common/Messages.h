#pragma once
// Window message numbers and the one way other threads reach the GUI thread.
#include <cstdint>

namespace tarvik {

// Messages of our own, posted to the main window, numbered above the window messages.
inline constexpr uint32_t PrivateMessageBase = 0x0400;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t MessageShutdown = PrivateMessageBase + 3;    // 1027
inline constexpr uint32_t MessageTrayNotify = PrivateMessageBase + 5;  // 1029
inline constexpr uint32_t MessageKeyCode = PrivateMessageBase + 15;    // 1039

// The two lines, as their states and traffic name them.
inline constexpr int32_t PortIdDisplay = 101;
inline constexpr int32_t PortIdMerge = 102;

// Command identifiers.
inline constexpr uint32_t CommandAboutbox = 16;
inline constexpr uint32_t CommandMenuProperties = 32771;
inline constexpr uint32_t CommandMenuClose = 32772;
inline constexpr uint32_t CommandMenuExit = 32778;
inline constexpr uint32_t CommandMenuMonitor = 32790;  // the traffic monitor
inline constexpr uint32_t CommandHelp = 57670;

// A window that accepts posted messages. Post may be called from any thread and never blocks;
// the message is handled later on the window's own thread.
class MessagePoster {
public:
    virtual ~MessagePoster() = default;
    virtual void post(uint32_t message, uint64_t wParam, int64_t lParam) = 0;
};

}  // namespace tarvik
