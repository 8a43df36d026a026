#include "app/TarvikApp.h"

#include <utility>

namespace tarvik {

TarvikApp::TarvikApp(TarvikModule& module, ClassObjects& classObjects, HelpViewer& helpViewer,
                     std::vector<std::string> argv, std::string helpFolder)
    : m_helpFilePath(std::move(helpFolder)),
      m_module(module),
      m_classObjects(classObjects),
      m_helpViewer(helpViewer),
      m_argv(std::move(argv)) {}

bool TarvikApp::beginInstance() {
    m_comInitialised = 1;
    m_module.init();

    m_registration = scanRegistrationSwitch(joinArguments(m_argv));
    if (m_registration == RegistrationSwitch::None) return true;

    // A failed registration is reported by the class objects and ends the process with 1: a
    // silent 0 would tell an installer that the server can be activated when it cannot.
    const bool done = m_registration == RegistrationSwitch::Unregister ? m_classObjects.unregisterServer()
                                                                       : m_classObjects.registerServer();
    m_registrationFailed = !done;
    m_comInitialised = 0;
    m_module.term();
    return false;
}

bool TarvikApp::continueInstance(ShellWindowFactory& factory) {
    m_cmdInfo = parseCommandLine(m_argv);
    const bool standAlone = m_cmdInfo.m_embedded == 0 && m_cmdInfo.m_automated == 0;
    // Decided before any window or line exists: a second stand-alone run would find its lines
    // taken by the first, and its keys would go nowhere.
    if (standAlone) {
        const InstanceClaim claim = m_classObjects.claimStandAlone();
        if (claim != InstanceClaim::Mine) {
            m_startFailed = claim == InstanceClaim::OtherUnreachable;
            return false;
        }
    }
    if (!m_classObjects.registerClassObjects()) {
        // Nothing was offered, so there is nothing to revoke at the end.
        m_comInitialised = 0;
        return false;
    }

    ShellWindow* window = factory.createMainWindow();
    if (window == nullptr) return false;

    m_mainDlg = window;
    m_module.setMainWindow(&window->closeTarget());
    m_classObjects.setMainWindow(&window->automationHost());
    m_module.m_closeOnLastUnlock.store(1);
    window->setStandAlone(standAlone);
    m_classObjects.beginRun(standAlone);

    window->startUp();
    return true;
}

int TarvikApp::exitInstance() {
    if (m_comInitialised != 0) {
        m_classObjects.revokeClassObjects();
        m_module.term();
        m_comInitialised = 0;
    }
    return m_registrationFailed || m_startFailed ? 1 : 0;
}

void TarvikApp::winHelp(uint32_t data, uint32_t command) {
    if (m_mainDlg != nullptr && m_mainDlg->helpKey()) {
        m_mainDlg->clearHelpKey();
        return;
    }
    switch (command) {
        case HELP_CONTEXT: m_helpViewer.htmlHelp(m_helpFilePath, HH_HELP_CONTEXT, data); break;
        case HELP_FINDER: m_helpViewer.htmlHelp(m_helpFilePath, HH_DISPLAY_TOPIC, 0); break;
        case HELP_HELPONHELP: m_helpViewer.htmlHelp(m_helpFilePath, HH_HELP_CONTEXT, 0); break;
        default: break;
    }
}

void TarvikApp::onMainWindowDestroyed() {
    m_module.setMainWindow(nullptr);
    // Objects may outlive the window (an exit confirmed with clients connected).
    m_classObjects.setMainWindow(nullptr);
    m_mainDlg = nullptr;
}

}  // namespace tarvik
