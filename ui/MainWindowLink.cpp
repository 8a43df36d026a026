// The traffic monitor: a window of its own, made on first use, watching the session's traffic.
#include "ui/MainWindow.h"
#include "ui/MonitorWindow.h"

namespace tarvik {

void MainWindow::MonitorWindowDeleter::operator()(MonitorWindow* window) const { delete window; }

void MainWindow::onMonitor() {
    if (!m_monitorWindow) m_monitorWindow.reset(new MonitorWindow(m_session.monitor(), this));
    m_monitorWindow->show();
    m_monitorWindow->raise();
    m_monitorWindow->activateWindow();
}

}  // namespace tarvik
