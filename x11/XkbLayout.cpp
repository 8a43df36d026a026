#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include "x11/KeyboardLayout.h"

namespace tarvik::keyboard {
namespace {

constexpr unsigned int ChangeEvents = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;

class XkbLayout final : public KeyboardLayout {
public:
    XkbLayout(Display* display, int eventBase) : m_display(display), m_eventBase(eventBase) {
        XkbSelectEvents(m_display, XkbUseCoreKbd, ChangeEvents, ChangeEvents);
        reload();
    }
    ~XkbLayout() override {
        if (m_keymap != nullptr) XkbFreeKeyboard(m_keymap, 0, True);
        XCloseDisplay(m_display);
    }
    XkbLayout(const XkbLayout&) = delete;
    XkbLayout& operator=(const XkbLayout&) = delete;

    KeySymbols symbolsOf(uint32_t keycode) override {
        takeChanges();
        XkbStateRec state;
        if (m_keymap == nullptr || XkbGetState(m_display, XkbUseCoreKbd, &state) != Success) return {};
        if (keycode < m_keymap->min_key_code || keycode > m_keymap->max_key_code) return {};
        const auto code = static_cast<KeyCode>(keycode);
        const int groups = XkbKeyNumGroups(m_keymap, code);
        if (groups <= 0) return {};
        // A group beyond the key's own wraps around, the keyboard extension's default rule.
        const int group = state.group % groups;
        const int width = XkbKeyGroupWidth(m_keymap, code, group);
        auto at = [&](int level) -> uint32_t {
            return level < width ? static_cast<uint32_t>(XkbKeySymEntry(m_keymap, code, level, group)) : 0;
        };
        return {at(0), at(1)};
    }

private:
    void reload() {
        if (m_keymap != nullptr) XkbFreeKeyboard(m_keymap, 0, True);
        m_keymap = XkbGetMap(m_display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    }

    // Nothing reads this connection while idle: the change notices wait in its queue until the next
    // key asks, and a changed layout is fetched then.
    void takeChanges() {
        bool changed = false;
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == m_eventBase) changed = true;
        }
        if (changed) reload();
    }

    Display* m_display;
    int m_eventBase;
    XkbDescPtr m_keymap = nullptr;
};

}  // namespace

std::unique_ptr<KeyboardLayout> openXkbLayout(const std::string& displayName) {
    int eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion, reason = 0;
    Display* display = XkbOpenDisplay(displayName.empty() ? nullptr : displayName.c_str(), &eventBase, &errorBase,
                                      &major, &minor, &reason);
    if (display == nullptr) return nullptr;
    return std::make_unique<XkbLayout>(display, eventBase);
}

}  // namespace tarvik::keyboard
