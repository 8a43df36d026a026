#pragma once
// The hidden "client leader" window that a toolkit creates beside an X11 program's windows.

namespace tarvik::x11 {

// Takes the title off the client leader of `window` (an X window id on the display named by
// DISPLAY). The toolkit titles it like the main window, so a search for the window by its title
// would find two. False when there is no display, no leader, or the window is unknown.
bool UntitleClientLeader(unsigned long window);

}  // namespace tarvik::x11
