#include "session/InstrumentSession.h"

#include <utility>

#include "input/KeyCodeHandler.h"
#include "res/StringTable.h"
#include "serial/MergeProtocol.h"

namespace tarvik {

InstrumentSession::InstrumentSession(Settings& settings, comm::LineOpener& lines, comm::DeviceWatcher& watcher)
    : m_settings(settings),
      m_link(settings, m_displayLine, static_cast<LinkHost&>(*this), lines, watcher),
      m_mouse(m_state, static_cast<MouseHost&>(*this), m_link.ports()) {
    for (auto [timer, id] : {std::pair{&m_suppressContextMenu, TIMER_SUPPRESS_CONTEXT_MENU},
                             std::pair{&m_packetThrottle, TIMER_PACKET_THROTTLE}}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, id = id] { m_mouse.onTimer(id); });
    }
    ports().status().setObserver([this] { emit lineStatusChanged(ports().status().text()); });
}

InstrumentSession::~InstrumentSession() {
    // The lines report to this session; they must be gone before it is.
    ports().status().setObserver({});
    ports().setCommsEnabled(false);
    ports().closePorts();
}

void InstrumentSession::setWindowRequests(std::function<void(bool)> show,
                                          std::function<void(std::function<void(bool)>)> close) {
    m_showWindow = std::move(show);
    m_closeWindow = std::move(close);
}

void InstrumentSession::initialise() {
    m_mouse.initialise();
    m_state.m_mouseActive = 0;
    m_state.m_mouseButton = 0;
    m_helpKey = false;
    ports().setCommsEnabled(true);
}

void InstrumentSession::readMouseSettings() {
    m_mouse.m_mouseStartPosition = m_settings.mouseStartPosition(m_mouse.m_mouseStartPosition).value_or(0);
    m_mouse.m_mouseSpeed = m_settings.mouseSpeed(m_mouse.m_mouseSpeed).value_or(50);
}

void InstrumentSession::shutdown() {
    ports().setCommsEnabled(false);
    m_displayLine.showRememberedId(StringShutdown);
    emit shutdownShown();
    m_mouse.unacquireDevice();
    m_state.m_mouseActive = 0;
    sendMousePacket();
    ports().closePorts();
    m_mouse.releaseDevice();
}

void InstrumentSession::keyCode(uint32_t code, uint32_t action) {
    int32_t helpKey = m_helpKey ? 1 : 0;
    handleKeyCode(code, action, m_state, helpKey, ports(), [this] { sendMousePacket(); });
    m_helpKey = helpKey != 0;
    emit controlsChanged();
}

void InstrumentSession::releaseHeldModifiers() {
    tarvik::releaseHeldModifiers(m_keyTranslator, m_state, [this] { sendMousePacket(); });
    emit controlsChanged();
}

void InstrumentSession::sendMousePacket() { tarvik::sendMousePacket(m_state, ports()); }

void InstrumentSession::pressEsc() {
    if (!m_state.m_esc) return;
    ports().sendByteToPorts(0x1B);
    m_state.m_esc = 0;
    emit controlsChanged();
}

bool InstrumentSession::initMouseDevice() {
    return m_mouse.initDirectInput(m_desktop ? m_desktop->openMouseDevice() : nullptr);
}

bool InstrumentSession::loadMacros() { return tarvik::loadMacros(m_macros, m_settings, *this); }
bool InstrumentSession::saveMacros() { return tarvik::saveMacros(m_macros, m_settings, *this); }
void InstrumentSession::setDefaultMacros() { tarvik::setDefaultMacros(m_macros, m_settings, *this); }
void InstrumentSession::sendMacro(int index) { tarvik::sendMacro(m_macros, index, ports()); }

void InstrumentSession::showFromClient(bool show) {
    if (m_showWindow) m_showWindow(show);
}

void InstrumentSession::closeFromClient(std::function<void(bool)> answered) {
    // With no window the program was ending anyway.
    if (m_closeWindow) m_closeWindow(std::move(answered));
    else answered(true);
}

void InstrumentSession::fireInstrumentChanged(const std::string& name) {
    if (m_automationObject) m_automationObject->fireInstrumentChanged(name);
    if (m_instrumentListener) m_instrumentListener->fireInstrumentChanged(name);
}

void InstrumentSession::setDisplayText(const std::string& text) {
    m_displayText = text;
    emit displayTextChanged(text);
}

QTimer* InstrumentSession::timerFor(uint32_t id) {
    if (id == TIMER_SUPPRESS_CONTEXT_MENU) return &m_suppressContextMenu;
    if (id == TIMER_PACKET_THROTTLE) return &m_packetThrottle;
    return nullptr;
}

void InstrumentSession::setTimer(uint32_t id, uint32_t milliseconds) {
    if (QTimer* timer = timerFor(id)) timer->start(static_cast<int>(milliseconds));
}

void InstrumentSession::stopTimer(uint32_t id) {
    if (QTimer* timer = timerFor(id)) timer->stop();
}

DesktopSize InstrumentSession::getDesktopSize() { return m_desktop ? m_desktop->desktopSize() : DesktopSize{}; }
Point InstrumentSession::getCursorPos() { return m_desktop ? m_desktop->cursorPos() : Point{}; }

void InstrumentSession::setCursorPos(Point position) {
    if (m_desktop) m_desktop->setCursorPos(position);
}

}  // namespace tarvik
