#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include "x11/KeyboardLayout.h"

namespace tarvik::keyboard {
namespace {

constexpr unsigned int kChangeEvents = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;

class XkbLayout final : public IKeyboardLayout {
public:
    XkbLayout(Display* display, int eventBase) : display_(display), eventBase_(eventBase) {
        XkbSelectEvents(display_, XkbUseCoreKbd, kChangeEvents, kChangeEvents);
        Reload();
    }
    ~XkbLayout() override {
        if (keymap_ != nullptr) XkbFreeKeyboard(keymap_, 0, True);
        XCloseDisplay(display_);
    }
    XkbLayout(const XkbLayout&) = delete;
    XkbLayout& operator=(const XkbLayout&) = delete;

    KeySymbols SymbolsOf(uint32_t keycode) override {
        TakeChanges();
        XkbStateRec state;
        if (keymap_ == nullptr || XkbGetState(display_, XkbUseCoreKbd, &state) != Success) return {};
        if (keycode < keymap_->min_key_code || keycode > keymap_->max_key_code) return {};
        const auto code = static_cast<KeyCode>(keycode);
        const int groups = XkbKeyNumGroups(keymap_, code);
        if (groups <= 0) return {};
        // A group beyond the key's own wraps around, the keyboard extension's default rule.
        const int group = state.group % groups;
        const int width = XkbKeyGroupWidth(keymap_, code, group);
        auto at = [&](int level) -> uint32_t {
            return level < width ? static_cast<uint32_t>(XkbKeySymEntry(keymap_, code, level, group)) : 0;
        };
        return {at(0), at(1)};
    }

private:
    void Reload() {
        if (keymap_ != nullptr) XkbFreeKeyboard(keymap_, 0, True);
        keymap_ = XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    }

    // Nothing reads this connection while idle: the change notices wait in its queue until the next
    // key asks, and a changed layout is fetched then.
    void TakeChanges() {
        bool changed = false;
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == eventBase_) changed = true;
        }
        if (changed) Reload();
    }

    Display* display_;
    int eventBase_;
    XkbDescPtr keymap_ = nullptr;
};

}  // namespace

std::unique_ptr<IKeyboardLayout> OpenXkbLayout(const std::string& displayName) {
    int eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion, reason = 0;
    Display* display = XkbOpenDisplay(displayName.empty() ? nullptr : displayName.c_str(), &eventBase, &errorBase,
                                      &major, &minor, &reason);
    if (display == nullptr) return nullptr;
    return std::make_unique<XkbLayout>(display, eventBase);
}

}  // namespace tarvik::keyboard
