#pragma once
// A session with the instrument: both lines and their protocols, the key translation, the macros,
// the shared mouse state and mouse mode, the instrument's name, and the operations that keys,
// buttons, the PC mouse and automation clients perform. `main` makes one; the window, the
// preferences sheet, the monitor window and the bus objects are its clients: they call it and
// hear from it through its signals, never through one another.
#include <cstdint>
#include <functional>
#include <string>

#include <QObject>
#include <QTimer>

#include "automation/AutomationHost.h"
#include "automation/InstrumentEvents.h"
#include "common/MouseState.h"
#include "input/KeyTranslator.h"
#include "input/Macros.h"
#include "input/MouseEmulation.h"
#include "serial/DisplayLine.h"
#include "serial/DisplayView.h"
#include "serial/InstrumentLink.h"
#include "session/DesktopAccess.h"
#include "settings/Settings.h"

namespace tarvik {

class InstrumentSession : public QObject,
                          public AutomationHost,
                          private LinkHost,
                          private MouseHost,
                          private KeyCodeSink,
                          private MacroButtons,
                          private DisplayView {
    Q_OBJECT

public:
    explicit InstrumentSession(Settings& settings, comm::LineOpener& lines = net::networkLines(),
                               comm::DeviceWatcher& watcher = comm::inotifyDeviceWatcher());
    ~InstrumentSession() override;

    // Where mouse mode finds the desktop and the capture; null (the default) for none. Not owned.
    void setDesktop(DesktopAccess* desktop) { m_desktop = desktop; }
    // The window's part of client requests: showing or hiding it, and a close request.
    void setWindowRequests(std::function<void(bool show)> show,
                           std::function<void(std::function<void(bool ends)>)> close);

    // The state a fresh window starts from: both cursors at the desktop's centre, no mouse flags,
    // no help key, the lines allowed to talk.
    void initialise();
    // "Mouse Position" and "Mouse Speed" as stored, or their defaults.
    void readMouseSettings();
    bool openPorts() { return m_link.ports().openPorts(); }
    // The shutdown work, in its order: the lines quiet, "Shutdown - Please Wait" (then
    // shutdownShown, for the window to paint it), the capture released, the last packet with
    // the active flag clear, the lines closed, the mouse device gone.
    void shutdown();

    // The display line: what the instrument or a status puts there, alerts over it.
    DisplayLine& displayLine() { return m_displayLine; }
    const std::string& displayText() const { return m_displayText; }

    // Keys: true when `message` was taken for the instrument (it then gets no further handling).
    bool translateKey(const KeyMessage& message) { return m_keyTranslator.translateMessage(message); }
    // A translated key code: a byte, a modifier, Esc lit, the help key marked.
    void keyCode(uint32_t code, uint32_t action);
    // The keyboard went elsewhere: Shift and Ctrl held on it are cleared with one packet.
    void releaseHeldModifiers();
    bool helpKey() const { return m_helpKey; }
    void clearHelpKey() { m_helpKey = false; }

    // What the toggle buttons show and set: Esc, Shift, Ctrl, mouse mode, and the packet flags.
    MouseState& mouseState() { return m_state; }
    void sendMousePacket() override;
    // Esc as the button sends it: once, when lit.
    void pressEsc();
    bool enterMouseMode() { return m_mouse.enterMouseMode(); }
    void leaveMouseMode() override { m_mouse.leaveMouseMode(); }
    // The capture of the PC mouse, from the desktop; false when there is none.
    bool initMouseDevice();
    int32_t mouseSpeed() const { return m_mouse.m_mouseSpeed; }
    void setMouseSpeed(int32_t speed) { m_mouse.m_mouseSpeed = speed; }
    int32_t mouseStartPosition() const { return m_mouse.m_mouseStartPosition; }
    void setMouseStartPosition(int32_t position) { m_mouse.m_mouseStartPosition = position; }
    // Set while a right click that ended mouse mode, or the preferences sheet, must not open a
    // context menu.
    bool contextMenuSuppressed() const { return m_mouse.m_suppressContextMenu != 0; }
    void setContextMenuSuppressed(bool on) { m_mouse.m_suppressContextMenu = on ? 1 : 0; }
    const MouseEmulation& mouseEmulation() const { return m_mouse; }

    // The macros behind the function buttons.
    const MacroArray& macros() const { return m_macros; }
    void setMacros(const MacroArray& macros) { m_macros = macros; }
    bool loadMacros();
    bool saveMacros();
    void setDefaultMacros();
    void sendMacro(int index);

    // The lines, their parsers and their traffic.
    PortManager& ports() override { return m_link.ports(); }
    const InstrumentLink& link() const { return m_link; }
    TrafficMonitor& monitor() { return m_link.monitor(); }
    // A complete name field, as the Display Port brings it.
    void reportInstrumentName(const std::string& name) { m_link.reportInstrumentName(name); }

    // AutomationHost: what automation clients reach.
    MouseState& sharedMouseState() override { return m_state; }
    InstrumentEvents* getAutomationObject() const override { return m_automationObject; }
    void setAutomationObject(InstrumentEvents* object) override { m_automationObject = object; }
    void setInstrumentListener(InstrumentEvents* listener) override { m_instrumentListener = listener; }
    std::string instrumentName() const override { return m_link.lastReportedName().last(); }
    void showFromClient(bool show) override;
    void closeFromClient(std::function<void(bool ends)> answered) override;
    TrafficSource* traffic() override { return &m_link.monitor(); }

signals:
    // The display line's text changed; the window shows it.
    void displayTextChanged(const std::string& text);
    // An alert: a hidden or minimised window comes back.
    void windowWanted();
    // The shutdown text is up; the window paints it before the lines close.
    void shutdownShown();
    // The toggle buttons follow mouseState().
    void controlsChanged();
    void mouseModeChanged(bool on);
    void macroCaptionChanged(int index, const std::string& caption);
    // Both lines' states in words, for the tooltips.
    void lineStatusChanged(const std::string& text);

private:
    // LinkHost: a changed name reaches automation clients first, then the display line.
    void fireInstrumentChanged(const std::string& name) override;
    void showInstrumentName(const std::string& name) override { m_displayLine.showRemembered(name); }
    void refreshControls() override { emit controlsChanged(); }
    Point instrumentToScreen(Point instrument) override { return m_mouse.instrumentToScreen(instrument); }
    // MouseHost
    void setMouseImage(bool on) override { emit mouseModeChanged(on); }
    void showAlertId(uint32_t id) override { m_displayLine.showAlertId(id); }
    void setTimer(uint32_t id, uint32_t milliseconds) override;
    void stopTimer(uint32_t id) override;
    DesktopSize getDesktopSize() override;
    Point getCursorPos() override;
    void setCursorPos(Point position) override;
    // KeyCodeSink
    void onKeyCode(uint32_t code, uint32_t action) override { keyCode(code, action); }
    // MacroButtons
    void setMacroCaption(int index, const std::string& caption) override { emit macroCaptionChanged(index, caption); }
    // DisplayView
    void setDisplayText(const std::string& text) override;
    std::string getDisplayText() const override { return m_displayText; }
    void restoreWindow() override { emit windowWanted(); }

    QTimer* timerFor(uint32_t id);

    Settings& m_settings;
    std::string m_displayText;
    DisplayLine m_displayLine{static_cast<DisplayView&>(*this)};
    MouseState m_state;
    InstrumentLink m_link;
    QTimer m_suppressContextMenu;
    QTimer m_packetThrottle;
    MouseEmulation m_mouse;
    KeyTranslator m_keyTranslator{static_cast<KeyCodeSink&>(*this)};
    MacroArray m_macros;
    bool m_helpKey = false;
    DesktopAccess* m_desktop = nullptr;
    InstrumentEvents* m_automationObject = nullptr;    // not owned; set while the object exists
    InstrumentEvents* m_instrumentListener = nullptr;  // not owned: the control interface
    std::function<void(bool)> m_showWindow;
    std::function<void(std::function<void(bool)>)> m_closeWindow;
};

}  // namespace tarvik
