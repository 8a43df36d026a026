#pragma once
// The keyboard's first stop. One filter on the whole application sees every key event aimed at the
// main window or any of its controls before the control itself does, turns it into the key
// message the translator expects (virtual key from the active layout and the key's position, press
// or release, Shift, Ctrl and Caps Lock of that moment) and swallows the event when the translator takes it. Keys for
// other windows (menus, message boxes, the preferences sheet) pass untouched.
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

#include <QObject>

#include "input/KeyTranslator.h"
#include "x11/KeyboardLayout.h"

class QKeyEvent;
class QWidget;

namespace tarvik {

// The virtual key of this event's key, with the symbols `layout` puts on it when there is a layout
// to ask; 0 when it has none.
uint32_t virtualKeyOf(const QKeyEvent& event, keyboard::KeyboardLayout* layout = nullptr);

// The desktop's keyboard layout: on X11, its own connection to the display the application uses,
// opened when the first key asks; null elsewhere (keys then go by position).
std::unique_ptr<keyboard::KeyboardLayout> desktopKeyboardLayout();

// Caps Lock as it was for this event: from the native modifier state when the platform reported
// one, else from the case of a typed letter against Shift.
bool capsLockOf(const QKeyEvent& event);

// The translator's view of `event` for virtual key `vk`.
KeyMessage keyMessageOf(const QKeyEvent& event, uint32_t vk);

// Whether the translator would take this message, without delivering anything.
bool wouldTranslate(const KeyMessage& message);

class KeyEventFilter : public QObject {
public:
    // Returns true when the key message was consumed.
    using TranslateFn = std::function<bool(const KeyMessage&)>;

    // Installs itself on the application; it is a child of `window` and ends with it. Without a
    // layout, keys go by their position.
    KeyEventFilter(QWidget& window, TranslateFn translate, std::unique_ptr<keyboard::KeyboardLayout> layout = {});
    ~KeyEventFilter() override;
    KeyEventFilter(const KeyEventFilter&) = delete;
    KeyEventFilter& operator=(const KeyEventFilter&) = delete;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool aimedAtWindow(QObject* watched) const;
    bool onKey(const QKeyEvent& event);

    QWidget& m_window;
    TranslateFn m_translate;
    std::unique_ptr<keyboard::KeyboardLayout> m_layout;
    // The virtual key each physical key got when it went down, so its release (and its repeats)
    // use the same one whatever the layout or Num Lock says by then.
    std::unordered_map<uint64_t, uint32_t> m_pressedVk;
};

}  // namespace tarvik
