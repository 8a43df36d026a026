#pragma once
// The hidden "client leader" window that a toolkit creates beside an X11 program's windows.

struct xcb_connection_t;

namespace tarvik::x11 {

// Takes the title off the client leader of `window` (an X window id), asking on `connection`,
// the toolkit's own connection to the window's display. The toolkit titles the leader like the
// main window, so a search for the window by its title would find two. False when there is no
// connection, no leader, or the window is unknown.
bool untitleClientLeader(xcb_connection_t* connection, unsigned long window);

}  // namespace tarvik::x11
