#pragma once
// Makes the real main window with everything it needs: the settings store, message boxes, the
// server module and the session it is a client of, and connects its help requests and its end to
// the application.
#include <memory>

#include "app/ShellWindow.h"
#include "app/TarvikApp.h"
#include "session/InstrumentSession.h"
#include "settings/MessageBox.h"
#include "settings/Settings.h"
#include "ui/MainWindow.h"

namespace tarvik {

// The window as the application object drives it; the automation objects and the help key are the
// session's.
class MainWindowAdapter : public IMainWindow {
public:
    explicit MainWindowAdapter(CTarvikDlg& window) : m_window(window) {}

    void SetStandAlone(bool standAlone) override { m_window.SetStandAlone(standAlone); }
    void StartUp() override { m_window.StartUp(); }
    bool HelpKey() const override { return m_window.Session().helpKey(); }
    void ClearHelpKey() override { m_window.Session().clearHelpKey(); }
    IMessagePoster& Poster() override { return m_window; }
    IAutomationHost& AutomationHost() override { return m_window.Session(); }

private:
    CTarvikDlg& m_window;
};

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
    // Kept until the factory goes: the application object may still be inside a call on it when
    // the window goes.
    std::unique_ptr<MainWindowAdapter> m_adapter;
};

}  // namespace tarvik
