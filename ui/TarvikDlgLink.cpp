// The window's side of the instrument link and of key codes: where a new name goes, what goes out
// as a mouse packet, and what a translated key does.
#include "ui/TarvikDlg.h"

#include <string>

#include "input/KeyCodeHandler.h"
#include "ui/MonitorWindow.h"

namespace tarvik {

void CTarvikDlg::FireInstrumentChanged(const std::string& name) {
    if (m_pAutomationObject) m_pAutomationObject->FireInstrumentChanged(name);
    if (instrumentListener_) instrumentListener_->FireInstrumentChanged(name);
}

void CTarvikDlg::SendMousePacket() { tarvik::SendMousePacket(*this, m_ports); }

void CTarvikDlg::OnKeyCode(uint32_t code, uint32_t action) {
    HandleKeyCode(code, action, *this, m_bHelpKey, m_ports, [this] { SendMousePacket(); });
    UpdateData(false);
}

void CTarvikDlg::MonitorWindowDeleter::operator()(CMonitorWindow* window) const { delete window; }

void CTarvikDlg::OnMonitor() {
    if (!m_pMonitorWindow) m_pMonitorWindow.reset(new CMonitorWindow(m_link.Monitor(), this));
    m_pMonitorWindow->show();
    m_pMonitorWindow->raise();
    m_pMonitorWindow->activateWindow();
}

}  // namespace tarvik
