#pragma once
// libgensio's event handling on the Qt event loop. gensio asks its "os funcs" to watch
// descriptors, run timers and queue work; these do it with QSocketNotifier, QTimer and queued
// calls on the thread that first asks for them (the GUI thread), so gensio's callbacks run there
// like any other event and need no locks or hand-over. See "Network lines" in
// docs/architecture.md for why this and not a service thread.
#include <cstdint>

struct gensio_os_funcs;

namespace tarvik::net {

// The process's gensio handler, made on first use. Only that thread may use it.
gensio_os_funcs* qtGensioFuncs();

// What gensio has woken the process for since it started. Each count is one return to the event
// loop on gensio's behalf; while every line is idle none of them moves.
struct GensioActivity {
    uint64_t descriptorEvents = 0;  // a watched socket became readable or writable
    uint64_t timerFirings = 0;      // one of gensio's own timers ran out
    uint64_t queuedRuns = 0;        // work gensio deferred to the loop
    uint64_t total() const { return descriptorEvents + timerFirings + queuedRuns; }
};
GensioActivity qtGensioActivity();

// gensio reduces operating-system errors it has no code for (ENETUNREACH, say) to "OS error" and
// logs the errno; this is the last such errno (0 if none), so a failure can still be told in the
// system's words.
int lastUnnamedErrno();

}  // namespace tarvik::net
