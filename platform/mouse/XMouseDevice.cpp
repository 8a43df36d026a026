#include "platform/mouse/XMouseDevice.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>

#include "platform/mouse/PointerControl.h"
#include "platform/mouse/RawMouseInput.h"

namespace tarvik::mouse {
namespace {

constexpr int kMaxTreeDepth = 32;

// Requests on our own connections may fail harmlessly (the window already gone at shutdown);
// Xlib's default handler would end the process for them. Errors on anyone else's connection go
// to the handler that was there before (the toolkit's).
std::atomic<Display*> gOwnDisplays[2];
XErrorHandler gPreviousHandler = nullptr;

int OnXError(Display* display, XErrorEvent* event) {
    for (auto& own : gOwnDisplays) {
        if (own.load() == display) return 0;
    }
    return gPreviousHandler ? gPreviousHandler(display, event) : 0;
}

void InstallErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] { gPreviousHandler = XSetErrorHandler(OnXError); });
}

// How one source device's valuators read: x and y as relative counts (an absolute device, a
// tablet, does not move the virtual cursor), and which valuator, if any, scrolls vertically.
struct Axes {
    bool relativeX = true;
    bool relativeY = true;
    int verticalScroll = -1;
    double increment = 1.0;  // valuator travel per notch; negative for reversed scrolling
};

Axes QueryAxes(Display* display, int deviceId) {
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

class CXMouseDevice final : public IMouseDevice {
public:
    CXMouseDevice(Display* events, Display* control, Window window, int opcode);
    ~CXMouseDevice() override;

    bool WaitForData() override;
    void CancelWait() override;
    bool Acquire() override;
    void Unacquire() override;
    bool GetDeviceState(MouseDeviceState& state) override;
    bool ReadSystemSettings(SystemMouseSettings& settings) override;

private:
    void Kick();
    void SelectInput(bool on);
    bool HandleEvent(XEvent& event);
    bool HandleRaw(const XIRawEvent& raw);
    bool FocusStillHere();
    const Axes& AxesOf(int sourceId);

    Display* events_;   // the worker's: raw input and the window's focus; the GUI thread only selects
    Display* control_;  // the GUI thread's: grab, warp, settings
    Window window_;
    int opcode_;
    Cursor invisible_ = None;
    int wake_ = -1;  // eventfd: selection changed, a follow-up read is due, or the wait is cancelled
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> acquired_{false};
    std::atomic<bool> lost_{false};
    std::atomic<bool> followUp_{false};
    std::atomic<bool> notified_{false};  // a notification went out and was not read yet
    std::atomic<bool> recheck_{true};    // Xlib's queues may hold events poll cannot see
    std::atomic<bool> axesStale_{false};
    CRawMouseInput input_;
    std::map<int, Axes> axes_;  // worker only, by source device
};

CXMouseDevice::CXMouseDevice(Display* events, Display* control, Window window, int opcode)
    : events_(events),
      control_(control),
      window_(window),
      opcode_(opcode) {
    gOwnDisplays[0] = events;
    gOwnDisplays[1] = control;
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // The grab's cursor: a 1x1 bitmap with nothing drawn, so the pointer vanishes while captured.
    char blank = 0;
    const Pixmap pixmap = XCreateBitmapFromData(control, DefaultRootWindow(control), &blank, 1, 1);
    XColor black{};
    invisible_ = XCreatePixmapCursor(control, pixmap, pixmap, &black, &black, 0, 0);
    XFreePixmap(control, pixmap);
    XSync(control, False);
}

CXMouseDevice::~CXMouseDevice() {
    Unacquire();
    if (invisible_ != None) XFreeCursor(control_, invisible_);
    XCloseDisplay(events_);
    XCloseDisplay(control_);
    gOwnDisplays[0] = nullptr;
    gOwnDisplays[1] = nullptr;
    if (wake_ >= 0) ::close(wake_);
}

void CXMouseDevice::Kick() {
    const uint64_t one = 1;
    (void)!::write(wake_, &one, sizeof one);
}

bool CXMouseDevice::WaitForData() {
    pollfd fds[2] = {{ConnectionNumber(events_), POLLIN, 0}, {wake_, POLLIN, 0}};
    bool readable = false;
    bool changed = false;
    while (!cancelled_) {
        if (followUp_.exchange(false)) changed = true;
        // Xlib can hold events where poll cannot see them: after a round trip (the worker's own,
        // or the GUI thread's when it changed the selection) they may sit in its queues. Then
        // the queues are checked in full; otherwise only what poll found is read, which spares
        // two reads of an empty socket for every event.
        const int mode = recheck_.exchange(false) ? QueuedAfterFlush : readable ? QueuedAfterReading : QueuedAlready;
        int queued = XEventsQueued(events_, mode);
        while (!cancelled_ && queued > 0) {
            XEvent event;
            XNextEvent(events_, &event);
            if (HandleEvent(event)) changed = true;
            queued = XEventsQueued(events_, QueuedAlready);
        }
        if (cancelled_) break;
        if (recheck_) {
            readable = false;
            continue;
        }
        // While a notification is waiting to be read, what comes meanwhile joins that read: the
        // GUI thread is woken once however far behind it is.
        if (changed && !notified_.exchange(true)) return true;
        changed = false;
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
        // The server went away: there will be nothing more to read.
        if (fds[0].revents & (POLLERR | POLLHUP)) break;
        readable = (fds[0].revents & POLLIN) != 0;
        uint64_t count = 0;
        if (fds[1].revents & POLLIN) {
            (void)!::read(wake_, &count, sizeof count);
            recheck_ = true;
        }
    }
    return false;
}

void CXMouseDevice::CancelWait() {
    cancelled_ = true;
    Kick();
}

bool CXMouseDevice::HandleEvent(XEvent& event) {
    if (event.type == GenericEvent && event.xcookie.extension == opcode_) {
        if (!XGetEventData(events_, &event.xcookie)) return false;
        bool changed = false;
        if (event.xcookie.evtype == XI_HierarchyChanged) axes_.clear();
        else if (acquired_) changed = HandleRaw(*static_cast<const XIRawEvent*>(event.xcookie.data));
        XFreeEventData(events_, &event.xcookie);
        return changed;
    }
    if (!acquired_ || event.xany.window != window_) return false;
    if (event.type == FocusOut) {
        // Keyboard grabs (a menu) and focus moving inside the window take nothing away.
        if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab) return false;
        if (event.xfocus.detail == NotifyInferior || FocusStillHere()) return false;
    } else if (event.type != UnmapNotify && event.type != DestroyNotify) {
        return false;
    }
    lost_ = true;
    return true;
}

bool CXMouseDevice::HandleRaw(const XIRawEvent& raw) {
    // A wheel notch comes once as a button and once as scroll travel; the copy the server made
    // from the other is marked, so each notch counts once.
    if (raw.flags & XIPointerEmulated) return false;
    if (raw.evtype == XI_RawButtonPress) return input_.AddButton(static_cast<uint32_t>(raw.detail), true);
    if (raw.evtype == XI_RawButtonRelease) return input_.AddButton(static_cast<uint32_t>(raw.detail), false);
    if (raw.evtype != XI_RawMotion) return false;
    const Axes& axes = AxesOf(raw.sourceid);
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
    const bool moved = input_.AddMotion(dx, dy);
    const bool scrolled = input_.AddWheel(notches);
    return moved || scrolled;
}

const Axes& CXMouseDevice::AxesOf(int sourceId) {
    if (axesStale_.exchange(false)) axes_.clear();
    auto found = axes_.find(sourceId);
    if (found == axes_.end()) {
        recheck_ = true;
        found = axes_.emplace(sourceId, QueryAxes(events_, sourceId)).first;
    }
    return found->second;
}

// Whether the keyboard focus is still on the window or inside it. Focus that follows the pointer
// counts as here: the pointer is held inside the window.
bool CXMouseDevice::FocusStillHere() {
    recheck_ = true;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(events_, &focus, &revert);
    if (focus == static_cast<Window>(PointerRoot)) return true;
    for (int depth = 0; focus != None && depth < kMaxTreeDepth; ++depth) {
        if (focus == window_) return true;
        Window root = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(events_, focus, &root, &parent, &children, &count)) return false;
        if (children) XFree(children);
        if (parent == root) return false;
        focus = parent;
    }
    return false;
}

void CXMouseDevice::SelectInput(bool on) {
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
    XISelectEvents(events_, DefaultRootWindow(events_), masks, 2);
    XSelectInput(events_, window_, on ? FocusChangeMask | StructureNotifyMask : NoEventMask);
    XSync(events_, False);
    Kick();
}

bool CXMouseDevice::Acquire() {
    if (acquired_) Unacquire();
    // Nothing is reported to anyone while the grab holds (no event mask, events not passed on
    // to the window), so a click in mouse mode never presses one of Tarvik's own buttons.
    if (XGrabPointer(control_, window_, False, 0, GrabModeAsync, GrabModeAsync, window_, invisible_, CurrentTime) !=
        GrabSuccess) {
        return false;
    }
    // XWayland locks the pointer (and passes on relative motion at the screen's edges) when a
    // client that hides the cursor warps it into its window.
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(control_, window_, &attributes)) {
        XWarpPointer(control_, None, window_, 0, 0, 0, 0, attributes.width / 2, attributes.height / 2);
    }
    XSync(control_, False);
    input_.Reset();
    lost_ = false;
    followUp_ = false;
    notified_ = false;
    axesStale_ = true;
    acquired_ = true;
    SelectInput(true);
    return true;
}

void CXMouseDevice::Unacquire() {
    if (!acquired_.exchange(false)) return;
    XUngrabPointer(control_, CurrentTime);
    XSync(control_, False);
    SelectInput(false);
}

bool CXMouseDevice::GetDeviceState(MouseDeviceState& state) {
    notified_ = false;
    if (!acquired_ || lost_) return false;
    bool more = false;
    state = input_.Take(more);
    if (more) {
        followUp_ = true;
        Kick();
    }
    return true;
}

bool CXMouseDevice::ReadSystemSettings(SystemMouseSettings& settings) {
    int numerator = 0, denominator = 0, threshold = 0;
    XGetPointerControl(control_, &numerator, &denominator, &threshold);
    unsigned char map[256] = {};
    const int buttons = XGetPointerMapping(control_, map, sizeof map);
    // The left-handed setting puts the right button's function on the physical left button.
    settings = FromPointerControl(numerator, denominator, threshold, buttons >= 3 && map[0] == 3);
    return true;
}

}  // namespace

std::unique_ptr<IMouseDevice> OpenXMouseDevice(const std::string& displayName, unsigned long window) {
    if (window == 0) return nullptr;
    // Both threads use the worker's connection (the GUI thread to change what it selects).
    XInitThreads();
    InstallErrorHandler();
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
    return std::make_unique<CXMouseDevice>(events, control, static_cast<Window>(window), opcode);
}

}  // namespace tarvik::mouse
