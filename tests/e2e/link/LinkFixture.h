#pragma once
// The real main window, started stand-alone on two pseudo-terminals bound as COM1 (Display Port)
// and COM2 (Merge Port) through the settings files of a private sandbox. The test holds the far
// end of both lines and reads exactly what the window sends on each.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QEvent>

#include "automation/InstrumentEvents.h"
#include "settings/HiveSettings.h"
#include "tests/e2e/window/WindowHarness.h"
#include "tests/support/PtyLine.h"
#include "tests/support/TestSandbox.h"

class QWidget;

namespace tarvik::test {

// "80 F0 E1" for the bytes 0x80 0xF0 0xE1.
std::string Hex(const std::string& bytes);
std::string Packet(const MouseState& state);

// What the clients would be told, and what the window showed at that moment.
struct RecordingClients : InstrumentEvents {
    MainWindow* dlg = nullptr;
    std::vector<std::string> names;
    std::vector<std::string> shownWhenFired;
    void fireInstrumentChanged(const std::string& name) override {
        names.push_back(name);
        shownWhenFired.push_back(dlg->getDisplayText());
    }
};

// Counts the key events that get past the window's keyboard filter to a control.
class KeySpy : public QObject {
public:
    explicit KeySpy(QWidget* target);
    bool eventFilter(QObject* watched, QEvent* event) override;
    int seen = 0;
};

class LinkTest : public ::testing::Test {
protected:
    using Lines = std::pair<std::string, std::string>;  // display, merge (as Hex)

    void SetUp() override;

    // Runs the window's events until each line has delivered at least `want` bytes (at most
    // 5 s), then takes whatever else is already there.
    Lines Collect(size_t want);
    static Lines Both(const std::string& hex) { return {hex, hex}; }
    // Runs the window's events until `done` holds; false after 5 s.
    bool RunUntil(const std::function<bool()>& done);

    // A key as the X11 platform delivers it: X keycode (evdev + 8), keysym, X modifier state.
    void Key(QEvent::Type type, uint32_t keycode, uint32_t keysym, Qt::KeyboardModifiers mods = {}, uint32_t xState = 0,
             bool repeat = false, const QString& text = {});
    void Tap(uint32_t keycode, uint32_t keysym, Qt::KeyboardModifiers mods = {}, uint32_t xState = 0);

    TestSandbox sandbox;
    PtyLine display{sandbox, 1};
    PtyLine merge{sandbox, 2};
    RecordingBox settingsBox;
    std::unique_ptr<HiveSettings> settings;
    std::unique_ptr<Harness> harness;
    TestDlg* dlg = nullptr;
    QWidget* focus = nullptr;  // where key events are aimed: a control, not the window itself
};

}  // namespace tarvik::test
