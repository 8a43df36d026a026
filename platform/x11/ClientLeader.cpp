#include "platform/x11/ClientLeader.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace tarvik::x11 {
namespace {

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

bool UntitleClientLeader(unsigned long window) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    // A window that is already gone must not end the program through Xlib's default handler.
    XErrorHandler previous = XSetErrorHandler(IgnoreErrors);
    bool done = false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom leaderAtom = XInternAtom(display, "WM_CLIENT_LEADER", False);
    if (XGetWindowProperty(display, window, leaderAtom, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                           &data) == Success &&
        data && type == XA_WINDOW && format == 32 && count == 1) {
        const Window leader = *reinterpret_cast<const Window*>(data);
        if (leader != window) {
            XDeleteProperty(display, leader, XA_WM_NAME);
            XDeleteProperty(display, leader, XInternAtom(display, "_NET_WM_NAME", False));
            done = true;
        }
    }
    if (data) XFree(data);
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return done;
}

}  // namespace tarvik::x11
