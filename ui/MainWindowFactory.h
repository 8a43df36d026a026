#pragma once
// Makes the real main window with everything it needs: the settings store, message boxes, the
// server module and the session it is a client of, and connects its help requests and its end to
// the application.
#include <memory>

#include "app/MainWindow.h"
#include "app/TarvikApp.h"
#include "app/core/IMessageBox.h"
#include "app/core/ISettings.h"
#include "session/InstrumentSession.h"

namespace tarvik {

class CTarvikDlg;

class CMainWindowFactory : public IMainWindowFactory {
public:
    CMainWindowFactory(CTarvikApp& app, CTarvikModule& module, ISettings& settings, IMessageBox& messageBox,
                       InstrumentSession& session);
    ~CMainWindowFactory() override;

    // Null when the window cannot be initialised; it then no longer exists.
    IMainWindow* CreateMainWindow() override;
    CTarvikDlg* Window() const { return m_window; }
    // Exit without asking about clients, for a signal to end the program.
    void ExitApplication();

private:
    CTarvikApp& m_app;
    CTarvikModule& m_module;
    ISettings& m_settings;
    IMessageBox& m_messageBox;
    InstrumentSession& m_session;
    CTarvikDlg* m_window = nullptr;
};

}  // namespace tarvik
