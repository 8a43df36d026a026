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
constexpr uint32_t kNativeLockMask = 0x2;
// Keys the platform gives no native code are paired by the toolkit's key number instead; the
// high bit keeps those apart from native keycodes.
constexpr uint64_t kToolkitKeyFlag = uint64_t{1} << 32;

uint64_t PhysicalKeyOf(const QKeyEvent& event) {
    if (event.nativeScanCode() != 0) return event.nativeScanCode();
    return kToolkitKeyFlag | static_cast<uint32_t>(event.key());
}

}  // namespace

uint32_t VirtualKeyOf(const QKeyEvent& event, keyboard::IKeyboardLayout* layout) {
    LinuxKeyEvent key;
    key.nativeScanCode = event.nativeScanCode();
    key.keysym = event.nativeVirtualKey();
    key.qtKey = event.key();
    key.keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    if (layout != nullptr && key.nativeScanCode != 0) {
        const keyboard::KeySymbols symbols = layout->SymbolsOf(key.nativeScanCode);
        key.layoutUnshifted = symbols.unshifted;
        key.layoutShifted = symbols.shifted;
    }
    return VirtualKeyFor(key);
}

namespace {

// The layout's connection is opened by the first key that asks, not at start-up: it costs a
// connection and a keymap read, and a run may see no key at all. Until then nothing can change
// what it would read, since every answer is the layout of that moment.
class CLayoutOnFirstKey final : public keyboard::IKeyboardLayout {
public:
    explicit CLayoutOnFirstKey(std::string displayName) : displayName_(std::move(displayName)) {}

    keyboard::KeySymbols SymbolsOf(uint32_t keycode) override {
        if (!opened_) {
            opened_ = true;
            layout_ = keyboard::OpenXkbLayout(displayName_);
        }
        // A display that cannot be asked leaves the key to its position, as no layout at all does.
        return layout_ ? layout_->SymbolsOf(keycode) : keyboard::KeySymbols{};
    }

private:
    std::string displayName_;
    bool opened_ = false;
    std::unique_ptr<keyboard::IKeyboardLayout> layout_;
};

}  // namespace

std::unique_ptr<keyboard::IKeyboardLayout> DesktopKeyboardLayout() {
    // The toolkit reaches X through DISPLAY; other platforms (offscreen, Wayland) have no X
    // keyboard to ask, and a display they do not use must not be opened behind their back.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    return std::make_unique<CLayoutOnFirstKey>(qEnvironmentVariable("DISPLAY").toStdString());
}

bool CapsLockOf(const QKeyEvent& event) {
    if (event.nativeScanCode() != 0) return (event.nativeModifiers() & kNativeLockMask) != 0;
    // No native state: a letter typed in the case Shift would not give means Caps Lock is on.
    const QString text = event.text();
    if (text.size() != 1 || !text.front().isLetter()) return false;
    const bool shift = event.modifiers().testFlag(Qt::ShiftModifier);
    return text.front().isUpper() != shift;
}

KeyMessage KeyMessageOf(const QKeyEvent& event, uint32_t vk) {
    KeyMessage message;
    message.release = event.type() == QEvent::KeyRelease;
    const bool alt = event.modifiers().testFlag(Qt::AltModifier);
    if (message.release) message.message = alt ? WM_SYSKEYUP : WM_KEYUP;
    else message.message = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    message.vk = vk;
    message.shiftDown = event.modifiers().testFlag(Qt::ShiftModifier);
    message.ctrlDown = event.modifiers().testFlag(Qt::ControlModifier);
    message.capsLock = CapsLockOf(event);
    return message;
}

bool WouldTranslate(const KeyMessage& message) { return CKeyTranslator::WouldConsume(message); }

CKeyEventFilter::CKeyEventFilter(QWidget& window, TranslateFn translate,
                                 std::unique_ptr<keyboard::IKeyboardLayout> layout)
    : QObject(&window),
      window_(window),
      translate_(std::move(translate)),
      layout_(std::move(layout)) {
    QCoreApplication::instance()->installEventFilter(this);
}

CKeyEventFilter::~CKeyEventFilter() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool CKeyEventFilter::AimedAtWindow(QObject* watched) const {
    // Windows of their own (a sheet or message box owned by the main window) keep their keys.
    if (watched == nullptr || !watched->isWidgetType()) return false;
    return static_cast<QWidget*>(watched)->window() == &window_;
}

bool CKeyEventFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride) return false;
    if (!AimedAtWindow(watched)) return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (type == QEvent::ShortcutOverride) {
        // A key the instrument gets must not trigger a button's mnemonic or any other shortcut
        // first: claim it, so it arrives as a key press.
        const uint32_t vk = VirtualKeyOf(key, layout_.get());
        if (!WouldTranslate(KeyMessageOf(key, vk))) return false;
        event->accept();
        return true;
    }
    return OnKey(key);
}

bool CKeyEventFilter::OnKey(const QKeyEvent& event) {
    const uint64_t physical = PhysicalKeyOf(event);
    const auto known = pressedVk_.find(physical);
    uint32_t vk = VirtualKeyOf(event, layout_.get());
    const bool release = event.type() == QEvent::KeyRelease;

    if (release && event.isAutoRepeat()) {
        // A held key repeats as release and press pairs here, but the instrument expects only
        // repeated presses: this half is taken and goes nowhere.
        if (known != pressedVk_.end()) vk = known->second;
        return WouldTranslate(KeyMessageOf(event, vk));
    }
    if (release) {
        if (known != pressedVk_.end()) {
            vk = known->second;
            pressedVk_.erase(known);
        }
    } else if (event.isAutoRepeat() && known != pressedVk_.end()) {
        vk = known->second;
    } else if (vk != 0) {
        pressedVk_[physical] = vk;
    }
    if (vk == 0) return false;
    return translate_(KeyMessageOf(event, vk));
}

}  // namespace tarvik
