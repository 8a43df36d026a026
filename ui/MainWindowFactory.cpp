#include "ui/MainWindowFactory.h"

#include <QCoreApplication>

#include "ui/TarvikDlg.h"

namespace tarvik {

CMainWindowFactory::CMainWindowFactory(CTarvikApp& app, CTarvikModule& module)
    : m_app(app),
      m_module(module),
      m_settings(m_messageBox) {}

CMainWindowFactory::~CMainWindowFactory() {
    // A window still alive here (the event loop ended some other way) must not outlive the
    // settings and message boxes it uses.
    delete m_window;
}

IMainWindow* CMainWindowFactory::CreateMainWindow() {
    auto* window = new CTarvikDlg(m_settings, m_messageBox, m_module);
    if (!window->Create()) {
        delete window;
        return nullptr;
    }
    window->SetHelpHandler([this](uint32_t data, uint32_t command) { m_app.WinHelp(data, command); });
    window->SetDestroyedHandler([this] {
        m_app.OnMainWindowDestroyed();
        m_window = nullptr;
        // The window was the program: with it gone the event loop ends.
        QCoreApplication::exit(0);
    });
    m_window = window;
    return window;
}

void CMainWindowFactory::ExitApplication() {
    if (m_window) m_window->ExitApplication();
    else QCoreApplication::exit(0);
}

}  // namespace tarvik
