#include "ui/KeyEventFilter.h"

#include <string>
#include <utility>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>

#include "input/VirtualKeys.h"

namespace tarvik {
namespace {

// X's LockMask: Caps Lock is on.
constexpr uint32_t NativeLockMask = 0x2;
// Keys the platform gives no native code are paired by the toolkit's key number instead; the
// high bit keeps those apart from native keycodes.
constexpr uint64_t ToolkitKeyFlag = uint64_t{1} << 32;

uint64_t physicalKeyOf(const QKeyEvent& event) {
    if (event.nativeScanCode() != 0) return event.nativeScanCode();
    return ToolkitKeyFlag | static_cast<uint32_t>(event.key());
}

}  // namespace

uint32_t virtualKeyOf(const QKeyEvent& event, keyboard::KeyboardLayout* layout) {
    LinuxKeyEvent key;
    key.nativeScanCode = event.nativeScanCode();
    key.keysym = event.nativeVirtualKey();
    key.qtKey = event.key();
    key.keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    if (layout != nullptr && key.nativeScanCode != 0) {
        const keyboard::KeySymbols symbols = layout->symbolsOf(key.nativeScanCode);
        key.layoutUnshifted = symbols.unshifted;
        key.layoutShifted = symbols.shifted;
    }
    return virtualKeyFor(key);
}

namespace {

// The layout's connection is opened by the first key that asks, not at start-up: it costs a
// connection and a keymap read, and a run may see no key at all. Until then nothing can change
// what it would read, since every answer is the layout of that moment.
class LayoutOnFirstKey final : public keyboard::KeyboardLayout {
public:
    explicit LayoutOnFirstKey(std::string displayName) : m_displayName(std::move(displayName)) {}

    keyboard::KeySymbols symbolsOf(uint32_t keycode) override {
        if (!m_opened) {
            m_opened = true;
            m_layout = keyboard::openXkbLayout(m_displayName);
        }
        // A display that cannot be asked leaves the key to its position, as no layout at all does.
        return m_layout ? m_layout->symbolsOf(keycode) : keyboard::KeySymbols{};
    }

private:
    std::string m_displayName;
    bool m_opened = false;
    std::unique_ptr<keyboard::KeyboardLayout> m_layout;
};

}  // namespace

std::unique_ptr<keyboard::KeyboardLayout> desktopKeyboardLayout() {
    // The toolkit reaches X through DISPLAY; other platforms (offscreen, Wayland) have no X
    // keyboard to ask, and a display they do not use must not be opened behind their back.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    return std::make_unique<LayoutOnFirstKey>(qEnvironmentVariable("DISPLAY").toStdString());
}

bool capsLockOf(const QKeyEvent& event) {
    if (event.nativeScanCode() != 0) return (event.nativeModifiers() & NativeLockMask) != 0;
    // No native state: a letter typed in the case Shift would not give means Caps Lock is on.
    const QString text = event.text();
    if (text.size() != 1 || !text.front().isLetter()) return false;
    const bool shift = event.modifiers().testFlag(Qt::ShiftModifier);
    return text.front().isUpper() != shift;
}

KeyMessage keyMessageOf(const QKeyEvent& event, uint32_t vk) {
    KeyMessage message;
    message.release = event.type() == QEvent::KeyRelease;
    const bool alt = event.modifiers().testFlag(Qt::AltModifier);
    if (message.release) message.kind = alt ? KeyEventKind::SystemKeyUp : KeyEventKind::KeyUp;
    else message.kind = alt ? KeyEventKind::SystemKeyDown : KeyEventKind::KeyDown;
    message.vk = vk;
    message.shiftDown = event.modifiers().testFlag(Qt::ShiftModifier);
    message.ctrlDown = event.modifiers().testFlag(Qt::ControlModifier);
    message.capsLock = capsLockOf(event);
    return message;
}

bool wouldTranslate(const KeyMessage& message) { return KeyTranslator::wouldConsume(message); }

KeyEventFilter::KeyEventFilter(QWidget& window, TranslateFn translate, std::unique_ptr<keyboard::KeyboardLayout> layout)
    : QObject(&window),
      m_window(window),
      m_translate(std::move(translate)),
      m_layout(std::move(layout)) {
    QCoreApplication::instance()->installEventFilter(this);
}

KeyEventFilter::~KeyEventFilter() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool KeyEventFilter::aimedAtWindow(QObject* watched) const {
    // Windows of their own (a sheet or message box owned by the main window) keep their keys.
    if (watched == nullptr || !watched->isWidgetType()) return false;
    return static_cast<QWidget*>(watched)->window() == &m_window;
}

bool KeyEventFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride) return false;
    if (!aimedAtWindow(watched)) return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (type == QEvent::ShortcutOverride) {
        // A key the instrument gets must not trigger a button's mnemonic or any other shortcut
        // first: claim it, so it arrives as a key press.
        const uint32_t vk = virtualKeyOf(key, m_layout.get());
        if (!wouldTranslate(keyMessageOf(key, vk))) return false;
        event->accept();
        return true;
    }
    return onKey(key);
}

bool KeyEventFilter::onKey(const QKeyEvent& event) {
    const uint64_t physical = physicalKeyOf(event);
    const auto known = m_pressedVk.find(physical);
    uint32_t vk = virtualKeyOf(event, m_layout.get());
    const bool release = event.type() == QEvent::KeyRelease;

    if (release && event.isAutoRepeat()) {
        // A held key repeats as release and press pairs here, but the instrument expects only
        // repeated presses: this half is taken and goes nowhere.
        if (known != m_pressedVk.end()) vk = known->second;
        return wouldTranslate(keyMessageOf(event, vk));
    }
    if (release) {
        if (known != m_pressedVk.end()) {
            vk = known->second;
            m_pressedVk.erase(known);
        }
    } else if (event.isAutoRepeat() && known != m_pressedVk.end()) {
        vk = known->second;
    } else if (vk != 0) {
        m_pressedVk[physical] = vk;
    }
    if (vk == 0) return false;
    return m_translate(keyMessageOf(event, vk));
}

}  // namespace tarvik
