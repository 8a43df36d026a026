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
class MainWindowAdapter : public ShellWindow {
public:
    explicit MainWindowAdapter(MainWindow& window) : m_window(window) {}

    void setStandAlone(bool standAlone) override { m_window.setStandAlone(standAlone); }
    void startUp() override { m_window.startUp(); }
    bool helpKey() const override { return m_window.session().helpKey(); }
    void clearHelpKey() override { m_window.session().clearHelpKey(); }
    CloseTarget& closeTarget() override { return m_window; }
    AutomationHost& automationHost() override { return m_window.session(); }

private:
    MainWindow& m_window;
};

class MainWindowFactory : public ShellWindowFactory {
public:
    MainWindowFactory(TarvikApp& app, TarvikModule& module, Settings& settings, MessageBox& messageBox,
                      InstrumentSession& session);
    ~MainWindowFactory() override;

    // Null when the window cannot be initialised; it then no longer exists.
    ShellWindow* createMainWindow() override;
    MainWindow* mainWindow() const { return m_window; }
    // Exit without asking about clients, for a signal to end the program.
    void exitApplication();

private:
    TarvikApp& m_app;
    TarvikModule& m_module;
    Settings& m_settings;
    MessageBox& m_messageBox;
    InstrumentSession& m_session;
    MainWindow* m_window = nullptr;
    // Kept until the factory goes: the application object may still be inside a call on it when
    // the window goes.
    std::unique_ptr<MainWindowAdapter> m_adapter;
};

}  // namespace tarvik
