// The keyboard filter on its own: whose keys it takes, how a release finds its press, and which
// shortcuts it claims.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <QKeyEvent>
#include <QWidget>

#include "input/VirtualKeyCodes.h"
#include "tests/e2e/window/WindowHarness.h"
#include "ui/KeyEventFilter.h"

namespace tarvik::test {
namespace {

constexpr uint32_t kKeypad7 = 79, kSymKpHome = 0xFF95, kSymKp7 = 0xFFB7, kKeyA = 38, kKeyEnd = 115, kKeyY = 29,
                   kKeyZ = 52;

class KeyFilter : public ::testing::Test {
protected:
    KeyFilter() {
        child = new QWidget(&window);
        new KeyEventFilter(window, [this](const KeyMessage& message) {
            seen.push_back(message);
            return wouldTranslate(message);
        });
    }
    void send(QWidget* target, QEvent::Type type, int qtKey, uint32_t keycode, uint32_t keysym,
              Qt::KeyboardModifiers mods = {}) {
        QKeyEvent event(type, qtKey, mods, keycode, keysym, 0);
        QCoreApplication::sendEvent(target, &event);
    }
    bool appReady = (EnsureApplication(), true);  // before any widget
    QWidget window;
    QWidget* child = nullptr;
    std::vector<KeyMessage> seen;
};

TEST_F(KeyFilter, AReleaseUsesTheKeyChosenAtItsPress) {
    // Keypad 7 goes down as Home (Num Lock off) and comes up after Num Lock went on.
    send(child, QEvent::KeyPress, Qt::Key_Home, kKeypad7, kSymKpHome, Qt::KeypadModifier);
    send(child, QEvent::KeyRelease, Qt::Key_7, kKeypad7, kSymKp7, Qt::KeypadModifier);
    // Without native codes the toolkit's key pairs them.
    send(child, QEvent::KeyPress, Qt::Key_Escape, 0, 0);
    send(child, QEvent::KeyRelease, Qt::Key_Escape, 0, 0);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].vk, vk::VK_HOME);
    EXPECT_EQ(seen[1].vk, vk::VK_HOME);
    EXPECT_TRUE(seen[1].release);
    EXPECT_EQ(seen[3].vk, vk::VK_ESCAPE);
    EXPECT_EQ(seen[3].kind, KeyEventKind::KeyUp);

    send(child, QEvent::KeyPress, Qt::Key_A, kKeyA, 'a', Qt::AltModifier);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[4].kind, KeyEventKind::SystemKeyDown);
}

TEST_F(KeyFilter, LooksOnlyAtItsWindowsKeysAndClaimsShortcutsOnlyForTheInstrumentsKeys) {
    QWidget other;
    auto* ownDialog = new QWidget(&window, Qt::Dialog);  // owned by the window, but a window itself
    send(&other, QEvent::KeyPress, Qt::Key_A, kKeyA, 'a');
    send(ownDialog, QEvent::KeyPress, Qt::Key_A, kKeyA, 'a');
    EXPECT_TRUE(seen.empty());

    for (auto [key, code, sym, mods, claimed] : {std::tuple{Qt::Key_A, kKeyA, 0x61u, Qt::AltModifier, true},
                                                 {Qt::Key_End, kKeyEnd, 0xFF57u, Qt::NoModifier, false}}) {
        QKeyEvent shortcut(QEvent::ShortcutOverride, key, mods, code, sym, mods == Qt::AltModifier ? 0x8 : 0);
        shortcut.ignore();
        QCoreApplication::sendEvent(child, &shortcut);
        EXPECT_EQ(shortcut.isAccepted(), claimed) << key;
    }
    EXPECT_TRUE(seen.empty()) << "asking is not pressing";
    send(&window, QEvent::KeyPress, Qt::Key_A, kKeyA, 'a');
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(KeyFilter, LettersFollowTheLayoutItIsGiven) {
    // German: the key at the US Y position carries z, the one at the US Z position y.
    struct GermanLayout : keyboard::KeyboardLayout {
        keyboard::KeySymbols symbolsOf(uint32_t keycode) override {
            if (keycode == kKeyY) return {'z', 'Z'};
            if (keycode == kKeyZ) return {'y', 'Y'};
            return {};
        }
    };
    QWidget german;
    std::vector<uint32_t> vks;
    new KeyEventFilter(
        german, [&](const KeyMessage& message) { return vks.push_back(message.vk), true; },
        std::make_unique<GermanLayout>());
    for (uint32_t code : {kKeyY, kKeyZ, kKeyA}) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, code, 0, 0);
        QCoreApplication::sendEvent(&german, &event);
    }
    EXPECT_EQ(vks, (std::vector<uint32_t>{vk::letter('Z'), vk::letter('Y'), vk::letter('A')}));
}

}  // namespace
}  // namespace tarvik::test
