// PC keys through the real window, as the X11 platform delivers them (native keycode, keysym and
// modifier state), to the bytes and packets on both lines.
#include <QKeyEvent>
#include <QPushButton>

#include "tests/e2e/link/LinkFixture.h"

namespace tarvik::test {
namespace {

// X keycodes (evdev + 8) and keysyms.
constexpr uint32_t kKeyA = 38, kKey1 = 10, kKey2 = 11, kKeyF1 = 67, kKeyF4 = 70, kKeyEnd = 115, kKeyTab = 23,
                   kKeyEsc = 9, kKeyShiftL = 50, kKeyShiftR = 62, kKeyCtrlL = 37, kKeySpace = 65, kKeyReturn = 36;
constexpr uint32_t kSymF1 = 0xFFBE, kSymF4 = 0xFFC1, kSymEnd = 0xFF57, kSymTab = 0xFF09, kSymEsc = 0xFF1B,
                   kSymShiftL = 0xFFE1, kSymShiftR = 0xFFE2, kSymCtrlL = 0xFFE3, kSymReturn = 0xFF0D;
// X modifier state bits.
constexpr uint32_t kXShift = 0x1, kXLock = 0x2, kXCtrl = 0x4, kXAlt = 0x8;

constexpr auto Press = QEvent::KeyPress;
constexpr auto Release = QEvent::KeyRelease;
constexpr Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;

using Keyboard = LinkTest;

std::string Joined(std::initializer_list<std::string> parts) {
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : " ") + part;
    return out;
}

TEST_F(Keyboard, CapsLockComesFromTheEventAndTurnsOnlyLetters) {
    Tap(kKeyA, 'a', {}, kXLock);
    Tap(kKeyA, 'A', kShift, kXShift | kXLock);
    Tap(kKey1, '1', {}, kXLock);
    Tap(kKeyA, 'a', kCtrl, kXCtrl | kXLock);
    Tap(kKeyA, 'a');
    EXPECT_EQ(Collect(5), Both("41 61 31 01 61"));

    // With no native information the case of the typed letter tells.
    QKeyEvent upper(Press, Qt::Key_A, Qt::NoModifier, QStringLiteral("A"));
    QKeyEvent lower(Press, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QKeyEvent shiftedLower(Press, Qt::Key_A, Qt::ShiftModifier, QStringLiteral("a"));
    for (QKeyEvent* event : {&upper, &lower, &shiftedLower}) QCoreApplication::sendEvent(focus, event);
    EXPECT_EQ(Collect(3), Both("41 61 61"));
}

TEST_F(Keyboard, CtrlTravelsInPacketsAndUntranslatedCombinationsPassOn) {
    KeySpy spy(focus);
    MouseState on = dlg->session().mouseState(), off = on;
    on.m_ctrl = 1;
    Key(Press, kKeyCtrlL, kSymCtrlL, kCtrl);
    Key(Press, kKeyCtrlL, kSymCtrlL, kCtrl, kXCtrl, /*repeat=*/true);
    Tap(kKey2, '2', kCtrl, kXCtrl);
    Tap(kKey2, '@', kCtrl | kShift, kXCtrl | kXShift);
    Tap(kKey1, '1', kCtrl, kXCtrl);
    Tap(kKeyF1, kSymF1, kCtrl | kShift, kXCtrl | kXShift);
    Key(Release, kKeyCtrlL, kSymCtrlL, kCtrl, kXCtrl);
    EXPECT_EQ(Collect(14), Both(Joined({Packet(on), "00 00", Packet(off)})));
    EXPECT_EQ(spy.seen, 4);  // Ctrl+1 and Ctrl+Shift+F1, press and release
    EXPECT_FALSE(dlg->m_ctrlButton->isChecked());
}

TEST_F(Keyboard, F1GoesToTheInstrumentAndLeavesHelpForTheHelpButton) {
    Tap(kKeyF1, kSymF1);
    EXPECT_EQ(Collect(1), Both("81"));
    EXPECT_TRUE(harness->viewer.calls.empty());
    EXPECT_FALSE(dlg->session().helpKey());

    Tap(kKeyF1, kSymF1, kShift, kXShift);
    EXPECT_EQ(Collect(1), Both("91"));

    dlg->m_helpButton->click();
    EXPECT_EQ(harness->viewer.calls.size(), 1u);
}

TEST_F(Keyboard, KeysWithoutTranslationReachTheControls) {
    KeySpy spy(focus);
    Tap(kKeyEnd, kSymEnd);
    Tap(300, 0);  // a keycode no keyboard has
    Tap(0, 0);    // nothing known about the key at all
    Tap(kKeyA, 'a');
    EXPECT_EQ(Collect(1), Both("61"));
    EXPECT_EQ(spy.seen, 6);
}

TEST_F(Keyboard, AutoRepeatSendsPressesOnlyAndOnePacketPerShiftHold) {
    KeySpy spy(focus);
    Key(Press, kKeyA, 'a');
    for (int i = 0; i < 2; ++i) {
        Key(Release, kKeyA, 'a', {}, 0, /*repeat=*/true);
        Key(Press, kKeyA, 'a', {}, 0, /*repeat=*/true);
    }
    Key(Release, kKeyA, 'a');
    EXPECT_EQ(Collect(3), Both("61 61 61"));
    EXPECT_EQ(spy.seen, 0);

    MouseState on = dlg->session().mouseState(), off = on;
    on.m_shift = 1;
    Key(Press, kKeyShiftL, kSymShiftL, kShift);
    for (int i = 0; i < 3; ++i) {
        Key(Release, kKeyShiftL, kSymShiftL, kShift, kXShift, true);
        Key(Press, kKeyShiftL, kSymShiftL, kShift, kXShift, true);
    }
    Key(Release, kKeyShiftL, kSymShiftL, kShift, kXShift);
    Tap(kKeyA, 'a');
    EXPECT_EQ(Collect(13), Both(Joined({Packet(on), Packet(off), "61"})));

    // Either Shift key's release ends the state, although the other one is still down.
    Key(Press, kKeyShiftL, kSymShiftL, kShift);
    Key(Press, kKeyShiftR, kSymShiftR, kShift, kXShift);
    Key(Release, kKeyShiftR, kSymShiftR, kShift, kXShift);
    EXPECT_EQ(Collect(12), Both(Joined({Packet(on), Packet(off)})));
    EXPECT_FALSE(dlg->session().mouseState().m_shift);
}

TEST_F(Keyboard, TabSpaceReturnAndEscapeBelongToTheInstrument) {
    ASSERT_TRUE(dlg->isVisible());
    focus->setFocus();
    ASSERT_EQ(dlg->focusWidget(), focus);
    // Tab would move the focus, Space and Return would click the focused function button.
    Tap(kKeyTab, kSymTab);
    Tap(kKeySpace, ' ');
    Tap(kKeyReturn, kSymReturn);
    EXPECT_EQ(Collect(3), Both("09 20 0D"));
    EXPECT_EQ(dlg->focusWidget(), focus);

    Key(Press, kKeyEsc, kSymEsc);
    EXPECT_TRUE(dlg->m_escButton->isChecked());
    Key(Release, kKeyEsc, kSymEsc, {}, 0, true);
    Key(Press, kKeyEsc, kSymEsc, {}, 0, true);
    EXPECT_TRUE(dlg->m_escButton->isChecked());
    Key(Release, kKeyEsc, kSymEsc);
    EXPECT_FALSE(dlg->m_escButton->isChecked());
    EXPECT_EQ(Collect(2), Both("1B 1B"));

    // Alt is ignored: Alt+F4 and Alt+Space are keys for the instrument, not for the desktop.
    Tap(kKeyF4, kSymF4, Qt::AltModifier, kXAlt);
    Tap(kKeySpace, ' ', Qt::AltModifier, kXAlt);
    EXPECT_EQ(Collect(2), Both("84 20"));
    harness->Pump();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(harness->destroyed);
}

}  // namespace
}  // namespace tarvik::test
