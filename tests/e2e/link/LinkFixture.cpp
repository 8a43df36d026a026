#include "tests/e2e/link/LinkFixture.h"

#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include "res/StringTable.h"
#include "serial/MergeProtocol.h"
#include "serial/TrafficMonitor.h"

namespace tarvik::test {
namespace {

constexpr int kLimitMs = 5000;

// Appends whatever `line` holds right now.
void TakeWaiting(const PtyLine& line, std::string& into) {
    for (;;) {
        pollfd fd{line.Master(), POLLIN, 0};
        if (::poll(&fd, 1, 0) <= 0) return;
        char chunk[4096];
        const ssize_t n = ::read(line.Master(), chunk, sizeof chunk);
        if (n <= 0) return;
        into.append(chunk, static_cast<size_t>(n));
    }
}

// The toolkit's key number for the few keysyms the tests use, so the controls react to the keys
// that get past the window as they would on the desktop.
int QtKeyOf(uint32_t keysym) {
    if (keysym >= 'a' && keysym <= 'z') return static_cast<int>(keysym - 'a' + 'A');
    if (keysym >= 0x20 && keysym < 0x7F) return static_cast<int>(keysym);
    if (keysym >= 0xFFBE && keysym <= 0xFFC8) return Qt::Key_F1 + static_cast<int>(keysym - 0xFFBE);
    switch (keysym) {
        case 0xFF09: return Qt::Key_Tab;
        case 0xFF0D: return Qt::Key_Return;
        case 0xFF1B: return Qt::Key_Escape;
        case 0xFF57: return Qt::Key_End;
        case 0xFFE1:
        case 0xFFE2: return Qt::Key_Shift;
        case 0xFFE3: return Qt::Key_Control;
        default: return Qt::Key_unknown;
    }
}

}  // namespace

std::string Hex(const std::string& bytes) { return hexOf(bytes); }

std::string Packet(const MouseState& state) {
    const MousePacket packet = encodeMousePacket(state);
    return Hex(std::string(packet.begin(), packet.end()));
}

KeySpy::KeySpy(QWidget* target) { target->installEventFilter(this); }

bool KeySpy::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) ++seen;
    return false;
}

void LinkTest::SetUp() {
    ASSERT_TRUE(display.Ok());
    ASSERT_TRUE(merge.Ok());
    settings = std::make_unique<HiveSettings>(settingsBox);
    ASSERT_TRUE(settings->writeSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, 1));
    ASSERT_TRUE(settings->writeSettingNumber(HKEY_LOCAL_MACHINE, StringMergePort, 2));
    harness = std::make_unique<Harness>(*settings, std::vector<std::string>{"tarvik"}, /*mouseCapture=*/true);
    ASSERT_TRUE(harness->start());
    dlg = harness->window;
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(dlg->session().ports().isOpen(PortIdDisplay));
    ASSERT_TRUE(dlg->session().ports().isOpen(PortIdMerge));
    focus = dlg->m_macroButton[0];
    // Opening the lines sends the mouse state once.
    ASSERT_EQ(Collect(6), Both(Packet(dlg->session().mouseState())));
}

LinkTest::Lines LinkTest::Collect(size_t want) {
    std::string fromDisplay, fromMerge;
    auto take = [&] {
        TakeWaiting(display, fromDisplay);
        TakeWaiting(merge, fromMerge);
        return fromDisplay.size() >= want && fromMerge.size() >= want;
    };
    // Sends happen while the window handles an event: anything sent along with the last expected
    // byte is already on the lines when it is there.
    if (!take()) (void)QTest::qWaitFor(take, kLimitMs);
    take();
    return {Hex(fromDisplay), Hex(fromMerge)};
}

bool LinkTest::RunUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done, kLimitMs); }

void LinkTest::Key(QEvent::Type type, uint32_t keycode, uint32_t keysym, Qt::KeyboardModifiers mods, uint32_t xState,
                   bool repeat, const QString& text) {
    QKeyEvent event(type, QtKeyOf(keysym), mods, keycode, keysym, xState, text, repeat);
    QCoreApplication::sendEvent(focus, &event);
}

void LinkTest::Tap(uint32_t keycode, uint32_t keysym, Qt::KeyboardModifiers mods, uint32_t xState) {
    Key(QEvent::KeyPress, keycode, keysym, mods, xState);
    Key(QEvent::KeyRelease, keycode, keysym, mods, xState);
}

}  // namespace tarvik::test
