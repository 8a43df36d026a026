#include "x11/XMouseDevice.h"

// Qt before Xlib: Xlib's macros (None, Bool, FocusIn, ...) would break Qt's headers.
#include <QMetaObject>
#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <utility>

#include "x11/PointerControl.h"
#include "x11/RawMouseInput.h"

namespace tarvik::mouse {
namespace {

constexpr int MaxTreeDepth = 32;

// Requests on our own connections may fail harmlessly (the window already gone at shutdown);
// Xlib's default handler would end the process for them. Errors on anyone else's connection go
// to the handler that was there before (the toolkit's).
std::atomic<Display*> gOwnDisplays[2];
XErrorHandler gPreviousHandler = nullptr;

int onXError(Display* display, XErrorEvent* event) {
    for (auto& own : gOwnDisplays) {
        if (own.load() == display) return 0;
    }
    return gPreviousHandler ? gPreviousHandler(display, event) : 0;
}

void installErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] { gPreviousHandler = XSetErrorHandler(onXError); });
}

// How one source device's valuators read: x and y as relative counts (an absolute device, a
// tablet, does not move the virtual cursor), and which valuator, if any, scrolls vertically.
struct Axes {
    bool relativeX = true;
    bool relativeY = true;
    int verticalScroll = -1;
    double increment = 1.0;  // valuator travel per notch; negative for reversed scrolling
};

Axes queryAxes(Display* display, int deviceId) {
    Axes axes;
    int count = 0;
    XIDeviceInfo* info = XIQueryDevice(display, deviceId, &count);
    if (info == nullptr) return axes;
    for (int i = 0; i < info->num_classes; ++i) {
        const XIAnyClassInfo* any = info->classes[i];
        if (any->type == XIValuatorClass) {
            const auto* valuator = reinterpret_cast<const XIValuatorClassInfo*>(any);
            if (valuator->number == 0) axes.relativeX = valuator->mode == XIModeRelative;
            if (valuator->number == 1) axes.relativeY = valuator->mode == XIModeRelative;
        } else if (any->type == XIScrollClass) {
            const auto* scroll = reinterpret_cast<const XIScrollClassInfo*>(any);
            if (scroll->scroll_type == XIScrollTypeVertical && scroll->increment != 0) {
                axes.verticalScroll = scroll->number;
                axes.increment = scroll->increment;
            }
        }
    }
    XIFreeDeviceInfo(info);
    return axes;
}

class XMouseDevice final : public MouseDevice {
public:
    XMouseDevice(Display* events, Display* control, Window window, int opcode);
    ~XMouseDevice() override;

    void setInputHandler(std::function<void()> handler) override { m_handler = std::move(handler); }
    bool acquire() override;
    void unacquire() override;
    bool getDeviceState(MouseDeviceState& state, bool& more) override;
    bool readSystemSettings(SystemMouseSettings& settings) override;

private:
    void onReadable();
    bool readQueued(int mode);
    void deliverLater();
    void selectInput(bool on);
    bool handleEvent(XEvent& event);
    bool handleRaw(const XIRawEvent& raw);
    bool focusStillHere();
    const Axes& axesOf(int sourceId);

    Display* m_events;   // raw input and the window's focus, watched by m_notifier
    Display* m_control;  // grab, warp, settings; nothing is selected on it
    Window m_window;
    Window m_cover = None;  // over the window while the mouse is acquired; see the constructor
    int m_opcode;
    Cursor m_invisible = None;
    QSocketNotifier m_notifier;
    std::function<void()> m_handler;
    bool m_deliveryQueued = false;
    bool m_acquired = false;
    bool m_lost = false;
    RawMouseInput m_input;
    std::map<int, Axes> m_axes;  // by source device, from the current mouse mode
};

XMouseDevice::XMouseDevice(Display* events, Display* control, Window window, int opcode)
    : m_events(events),
      m_control(control),
      m_window(window),
      m_opcode(opcode),
      m_notifier(ConnectionNumber(events), QSocketNotifier::Read) {
    gOwnDisplays[0] = events;
    gOwnDisplays[1] = control;
    QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { onReadable(); });
    // The grab's cursor: a 1x1 bitmap with nothing drawn, so the pointer vanishes while captured.
    char blank = 0;
    const Pixmap pixmap = XCreateBitmapFromData(control, DefaultRootWindow(control), &blank, 1, 1);
    XColor black{};
    m_invisible = XCreatePixmapCursor(control, pixmap, pixmap, &black, &black, 0, 0);
    XFreePixmap(control, pixmap);
    // The toolkit selects every device's own pointer events on its windows (for tablets), and
    // those reach it past the grab, which holds only the master pointer: it would wake for each
    // move and drop it. While the mouse is acquired an input-only child of ours covers the window
    // and keeps them from travelling up to it.
    XSetWindowAttributes cover{};
    cover.do_not_propagate_mask = PointerMotionMask | ButtonPressMask | ButtonReleaseMask;
    m_cover = XCreateWindow(control, window, 0, 0, 1, 1, 0, 0, InputOnly, CopyFromParent, CWDontPropagate, &cover);
    XSync(control, False);
}

XMouseDevice::~XMouseDevice() {
    unacquire();
    m_notifier.setEnabled(false);
    if (m_invisible != None) XFreeCursor(m_control, m_invisible);
    XDestroyWindow(m_control, m_cover);
    XCloseDisplay(m_events);
    XCloseDisplay(m_control);
    gOwnDisplays[0] = nullptr;
    gOwnDisplays[1] = nullptr;
}

void XMouseDevice::onReadable() {
    // Everything that has arrived is read now and handed on as one: a busy GUI thread runs one
    // step for a burst of motion, not one per event.
    if (readQueued(QueuedAfterReading) && m_handler) m_handler();
}

// Handles what Xlib holds or, with QueuedAfterReading, what the connection has ready as well.
// Round trips on the connection (our own, here and in the handlers) may leave events in Xlib's
// queue that the descriptor no longer shows; the loop takes those too, so none waits unseen for
// the next event.
bool XMouseDevice::readQueued(int mode) {
    bool changed = false;
    for (int queued = XEventsQueued(m_events, mode); queued > 0; queued = XEventsQueued(m_events, QueuedAlready)) {
        XEvent event;
        XNextEvent(m_events, &event);
        if (handleEvent(event)) changed = true;
    }
    return changed;
}

// Input read outside the notifier's slot (during Acquire) is handed on from the event loop, never
// from inside the call that read it.
void XMouseDevice::deliverLater() {
    if (m_deliveryQueued) return;
    m_deliveryQueued = true;
    QMetaObject::invokeMethod(
        &m_notifier,
        [this] {
            m_deliveryQueued = false;
            if (m_handler) m_handler();
        },
        Qt::QueuedConnection);
}

bool XMouseDevice::handleEvent(XEvent& event) {
    if (event.type == GenericEvent && event.xcookie.extension == m_opcode) {
        if (!XGetEventData(m_events, &event.xcookie)) return false;
        bool changed = false;
        if (event.xcookie.evtype == XI_HierarchyChanged) m_axes.clear();
        else if (m_acquired) changed = handleRaw(*static_cast<const XIRawEvent*>(event.xcookie.data));
        XFreeEventData(m_events, &event.xcookie);
        return changed;
    }
    if (!m_acquired || event.xany.window != m_window) return false;
    if (event.type == FocusOut) {
        // Keyboard grabs (a menu) and focus moving inside the window take nothing away.
        if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab) return false;
        if (event.xfocus.detail == NotifyInferior || focusStillHere()) return false;
    } else if (event.type != UnmapNotify && event.type != DestroyNotify) {
        return false;
    }
    m_lost = true;
    return true;
}

bool XMouseDevice::handleRaw(const XIRawEvent& raw) {
    // A wheel notch comes once as a button and once as scroll travel; the copy the server made
    // from the other is marked, so each notch counts once.
    if (raw.flags & XIPointerEmulated) return false;
    if (raw.evtype == XI_RawButtonPress) return m_input.addButton(static_cast<uint32_t>(raw.detail), true);
    if (raw.evtype == XI_RawButtonRelease) return m_input.addButton(static_cast<uint32_t>(raw.detail), false);
    if (raw.evtype != XI_RawMotion) return false;
    const Axes& axes = axesOf(raw.sourceid);
    double dx = 0, dy = 0, notches = 0;
    const double* value = raw.raw_values;
    for (int i = 0; i < raw.valuators.mask_len * 8; ++i) {
        if (!XIMaskIsSet(raw.valuators.mask, i)) continue;
        const double v = *value++;
        if (i == 0 && axes.relativeX) dx = v;
        else if (i == 1 && axes.relativeY) dy = v;
        // Scroll valuators grow toward the user; the wheel delta counts away from the user.
        else if (i == axes.verticalScroll) notches = -v / axes.increment;
    }
    const bool moved = m_input.addMotion(dx, dy);
    const bool scrolled = m_input.addWheel(notches);
    return moved || scrolled;
}

const Axes& XMouseDevice::axesOf(int sourceId) {
    auto found = m_axes.find(sourceId);
    if (found == m_axes.end()) found = m_axes.emplace(sourceId, queryAxes(m_events, sourceId)).first;
    return found->second;
}

// Whether the keyboard focus is still on the window or inside it. Focus that follows the pointer
// counts as here: the pointer is held inside the window.
bool XMouseDevice::focusStillHere() {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_events, &focus, &revert);
    if (focus == static_cast<Window>(PointerRoot)) return true;
    for (int depth = 0; focus != None && depth < MaxTreeDepth; ++depth) {
        if (focus == m_window) return true;
        Window root = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_events, focus, &root, &parent, &children, &count)) return false;
        if (children) XFree(children);
        if (parent == root) return false;
        focus = parent;
    }
    return false;
}

void XMouseDevice::selectInput(bool on) {
    unsigned char raw[XIMaskLen(XI_LASTEVENT)] = {};
    unsigned char hierarchy[XIMaskLen(XI_LASTEVENT)] = {};
    if (on) {
        XISetMask(raw, XI_RawMotion);
        XISetMask(raw, XI_RawButtonPress);
        XISetMask(raw, XI_RawButtonRelease);
        XISetMask(hierarchy, XI_HierarchyChanged);
    }
    // Raw events of the master pointers only: each slave's event reaches its master too, and
    // counting both would double every move.
    XIEventMask masks[2] = {{XIAllMasterDevices, sizeof raw, raw}, {XIAllDevices, sizeof hierarchy, hierarchy}};
    XISelectEvents(m_events, DefaultRootWindow(m_events), masks, 2);
    XSelectInput(m_events, m_window, on ? FocusChangeMask | StructureNotifyMask : NoEventMask);
    XSync(m_events, False);
}

bool XMouseDevice::acquire() {
    if (m_acquired) unacquire();
    // Nothing is reported to anyone while the grab holds (no event mask, events not passed on
    // to the window), so a click in mouse mode never presses one of Tarvik's own buttons.
    if (XGrabPointer(m_control, m_window, False, 0, GrabModeAsync, GrabModeAsync, m_window, m_invisible, CurrentTime) !=
        GrabSuccess) {
        return false;
    }
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(m_control, m_window, &attributes)) {
        XMoveResizeWindow(m_control, m_cover, 0, 0, std::max(attributes.width, 1), std::max(attributes.height, 1));
        XMapRaised(m_control, m_cover);
        // XWayland locks the pointer (and passes on relative motion at the screen's edges) when
        // a client that hides the cursor warps it into its window.
        XWarpPointer(m_control, None, m_window, 0, 0, 0, 0, attributes.width / 2, attributes.height / 2);
    }
    XSync(m_control, False);
    // Left over from before (nothing was selected, or only what the last mouse mode read).
    readQueued(QueuedAlready);
    m_input.reset();
    m_lost = false;
    m_axes.clear();
    m_acquired = true;
    selectInput(true);
    // The round trip may have queued the first events of this mouse mode.
    if (readQueued(QueuedAlready)) deliverLater();
    return true;
}

void XMouseDevice::unacquire() {
    if (!m_acquired) return;
    m_acquired = false;
    XUngrabPointer(m_control, CurrentTime);
    XUnmapWindow(m_control, m_cover);
    XSync(m_control, False);
    selectInput(false);
    // What the round trip queued belongs to the mouse mode that ended.
    readQueued(QueuedAlready);
}

bool XMouseDevice::getDeviceState(MouseDeviceState& state, bool& more) {
    more = false;
    if (!m_acquired || m_lost) return false;
    state = m_input.take(more);
    return true;
}

bool XMouseDevice::readSystemSettings(SystemMouseSettings& settings) {
    int numerator = 0, denominator = 0, threshold = 0;
    XGetPointerControl(m_control, &numerator, &denominator, &threshold);
    unsigned char map[256] = {};
    const int buttons = XGetPointerMapping(m_control, map, sizeof map);
    // The left-handed setting puts the right button's function on the physical left button.
    settings = fromPointerControl(numerator, denominator, threshold, buttons >= 3 && map[0] == 3);
    return true;
}

}  // namespace

std::unique_ptr<MouseDevice> openXMouseDevice(const std::string& displayName, unsigned long window) {
    if (window == 0) return nullptr;
    installErrorHandler();
    const char* name = displayName.empty() ? nullptr : displayName.c_str();
    Display* events = XOpenDisplay(name);
    Display* control = events ? XOpenDisplay(name) : nullptr;
    int opcode = 0, firstEvent = 0, firstError = 0, major = 2, minor = 2;
    // 2.1 delivers raw events to every client that asks, also while a grab is active.
    const bool usable = control != nullptr &&
                        XQueryExtension(events, "XInputExtension", &opcode, &firstEvent, &firstError) &&
                        XIQueryVersion(events, &major, &minor) == Success && (major > 2 || minor >= 1);
    if (!usable) {
        if (control) XCloseDisplay(control);
        if (events) XCloseDisplay(events);
        return nullptr;
    }
    return std::make_unique<XMouseDevice>(events, control, static_cast<Window>(window), opcode);
}

}  // namespace tarvik::mouse
