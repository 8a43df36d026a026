#include "session/InstrumentSession.h"

#include <utility>

#include "input/KeyCodeHandler.h"
#include "res/StringTable.h"
#include "serial/MergeProtocol.h"

namespace tarvik {

InstrumentSession::InstrumentSession(ISettings& settings, comm::LineOpener& lines, comm::DeviceWatcher& watcher)
    : m_settings(settings),
      m_link(settings, m_displayLine, static_cast<ILinkHost&>(*this), lines, watcher),
      m_mouse(m_state, static_cast<IMouseHost&>(*this), m_link.Ports()) {
    for (auto [timer, id] : {std::pair{&m_suppressContextMenu, TIMER_SUPPRESS_CONTEXT_MENU},
                             std::pair{&m_packetThrottle, TIMER_PACKET_THROTTLE}}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, id = id] { m_mouse.OnTimer(id); });
    }
    ports().status().SetObserver([this] { emit lineStatusChanged(ports().status().Text()); });
}

InstrumentSession::~InstrumentSession() {
    // The lines report to this session; they must be gone before it is.
    ports().status().SetObserver({});
    ports().setCommsEnabled(false);
    ports().closePorts();
}

void InstrumentSession::setWindowRequests(std::function<void(bool)> show,
                                          std::function<void(std::function<void(bool)>)> close) {
    m_showWindow = std::move(show);
    m_closeWindow = std::move(close);
}

void InstrumentSession::initialise() {
    m_mouse.Initialise();
    m_state.m_bMouseActive = 0;
    m_state.m_bMouseButton = 0;
    m_helpKey = false;
    ports().setCommsEnabled(true);
}

void InstrumentSession::readMouseSettings() {
    m_mouse.m_nMouseStartPosition = m_settings.mouseStartPosition(m_mouse.m_nMouseStartPosition).value_or(0);
    m_mouse.m_nMouseSpeed = m_settings.mouseSpeed(m_mouse.m_nMouseSpeed).value_or(50);
}

void InstrumentSession::shutdown() {
    ports().setCommsEnabled(false);
    m_displayLine.ShowRememberedId(IDS_SHUTDOWN);
    emit shutdownShown();
    m_mouse.UnacquireDevice();
    m_state.m_bMouseActive = 0;
    sendMousePacket();
    ports().closePorts();
    m_mouse.ReleaseDevice();
}

void InstrumentSession::keyCode(uint32_t code, uint32_t action) {
    Bool32 helpKey = m_helpKey ? 1 : 0;
    HandleKeyCode(code, action, m_state, helpKey, ports(), [this] { sendMousePacket(); });
    m_helpKey = helpKey != 0;
    emit controlsChanged();
}

void InstrumentSession::releaseHeldModifiers() {
    ReleaseHeldModifiers(m_keyTranslator, m_state, [this] { sendMousePacket(); });
    emit controlsChanged();
}

void InstrumentSession::sendMousePacket() { tarvik::SendMousePacket(m_state, ports()); }

void InstrumentSession::pressEsc() {
    if (!m_state.m_bEsc) return;
    ports().SendByteToPorts(0x1B);
    m_state.m_bEsc = 0;
    emit controlsChanged();
}

bool InstrumentSession::initMouseDevice() {
    return m_mouse.InitDirectInput(m_desktop ? m_desktop->openMouseDevice() : nullptr);
}

bool InstrumentSession::loadMacros() { return LoadMacros(m_macros, m_settings, *this); }
bool InstrumentSession::saveMacros() { return SaveMacros(m_macros, m_settings, *this); }
void InstrumentSession::setDefaultMacros() { SetDefaultMacros(m_macros, m_settings, *this); }
void InstrumentSession::sendMacro(int index) { SendMacro(m_macros, index, ports()); }

void InstrumentSession::ShowFromClient(bool show) {
    if (m_showWindow) m_showWindow(show);
}

void InstrumentSession::CloseFromClient(std::function<void(bool)> answered) {
    // With no window the program was ending anyway.
    if (m_closeWindow) m_closeWindow(std::move(answered));
    else answered(true);
}

void InstrumentSession::FireInstrumentChanged(const std::string& name) {
    if (m_automationObject) m_automationObject->FireInstrumentChanged(name);
    if (m_instrumentListener) m_instrumentListener->FireInstrumentChanged(name);
}

void InstrumentSession::SetDisplayText(const std::string& text) {
    m_displayText = text;
    emit displayTextChanged(text);
}

QTimer* InstrumentSession::timerFor(uint32_t id) {
    if (id == TIMER_SUPPRESS_CONTEXT_MENU) return &m_suppressContextMenu;
    if (id == TIMER_PACKET_THROTTLE) return &m_packetThrottle;
    return nullptr;
}

void InstrumentSession::SetTimer(uint32_t id, uint32_t milliseconds) {
    if (QTimer* timer = timerFor(id)) timer->start(static_cast<int>(milliseconds));
}

void InstrumentSession::KillTimer(uint32_t id) {
    if (QTimer* timer = timerFor(id)) timer->stop();
}

DesktopSize InstrumentSession::GetDesktopSize() { return m_desktop ? m_desktop->desktopSize() : DesktopSize{}; }
Point InstrumentSession::GetCursorPos() { return m_desktop ? m_desktop->cursorPos() : Point{}; }

void InstrumentSession::SetCursorPos(Point position) {
    if (m_desktop) m_desktop->setCursorPos(position);
}

}  // namespace tarvik
