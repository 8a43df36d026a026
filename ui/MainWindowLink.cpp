// The traffic monitor: a window of its own, made on first use, watching the session's traffic.
#include "ui/MainWindow.h"
#include "ui/MonitorWindow.h"

namespace tarvik {

void CTarvikDlg::MonitorWindowDeleter::operator()(CMonitorWindow* window) const { delete window; }

void CTarvikDlg::OnMonitor() {
    if (!m_pMonitorWindow) m_pMonitorWindow.reset(new CMonitorWindow(m_session.monitor(), this));
    m_pMonitorWindow->show();
    m_pMonitorWindow->raise();
    m_pMonitorWindow->activateWindow();
}

}  // namespace tarvik
