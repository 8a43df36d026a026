#pragma once
// The lines' identifiers, the window's command ids, and how the automation module asks the main
// window to close.
#include <cstdint>

namespace tarvik {

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

// The main window as the automation module reaches it. A close request may come from any thread
// and never blocks: the close runs later on the window's own thread, once the caller has returned.
class CloseTarget {
public:
    virtual ~CloseTarget() = default;
    virtual void requestClose() = 0;
};

}  // namespace tarvik
