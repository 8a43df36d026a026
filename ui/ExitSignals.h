#pragma once
// SIGTERM, SIGINT and SIGHUP (a log-out, a service manager stopping Tarvik, Ctrl+C in a terminal)
// end the program the way Exit does: the shutdown work runs, so the instrument's last mouse
// packet has its active flag clear, and the window state is stored.
#include <functional>

namespace tarvik {

// `exit` runs once, on the GUI thread, from the event loop. A second signal while it runs ends
// the process as that signal always would. Call once, after the application object exists.
void exitOnSignals(std::function<void()> exit);

}  // namespace tarvik
