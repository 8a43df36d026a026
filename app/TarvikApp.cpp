#include "app/TarvikApp.h"

#include <utility>

namespace tarvik {

CTarvikApp::CTarvikApp(CTarvikModule& module, IClassObjects& classObjects, IHelpViewer& helpViewer,
                       std::vector<std::string> argv, std::string helpFolder)
    : m_pszHelpFilePath(std::move(helpFolder)),
      m_module(module),
      m_classObjects(classObjects),
      m_helpViewer(helpViewer),
      m_argv(std::move(argv)) {}

bool CTarvikApp::BeginInstance() {
    m_bComInitialised = 1;
    m_module.Init();

    m_registration = ScanRegistrationSwitch(JoinArguments(m_argv));
    if (m_registration == RegistrationSwitch::None) return true;

    // A failed registration is reported by the class objects and ends the process with 1: a
    // silent 0 would tell an installer that the server can be activated when it cannot.
    const bool done = m_registration == RegistrationSwitch::Unregister ? m_classObjects.UnregisterServer()
                                                                       : m_classObjects.RegisterServer();
    m_bRegistrationFailed = !done;
    m_bComInitialised = 0;
    m_module.Term();
    return false;
}

bool CTarvikApp::ContinueInstance(IMainWindowFactory& factory) {
    m_cmdInfo = ParseCommandLine(m_argv);
    const bool standAlone = m_cmdInfo.m_bEmbedded == 0 && m_cmdInfo.m_bAutomated == 0;
    // Decided before any window or line exists: a second stand-alone run would find its lines
    // taken by the first, and its keys would go nowhere.
    if (standAlone) {
        const InstanceClaim claim = m_classObjects.ClaimStandAlone();
        if (claim != InstanceClaim::Mine) {
            m_bStartFailed = claim == InstanceClaim::OtherUnreachable;
            return false;
        }
    }
    if (!m_classObjects.RegisterClassObjects()) {
        // Nothing was offered, so there is nothing to revoke at the end.
        m_bComInitialised = 0;
        return false;
    }

    IMainWindow* window = factory.CreateMainWindow();
    if (window == nullptr) return false;

    m_pMainDlg = window;
    m_module.SetMainWindow(&window->Poster());
    m_classObjects.SetMainWindow(&window->AutomationHost());
    m_module.m_bCloseOnLastUnlock.store(1);
    window->SetStandAlone(standAlone);
    m_classObjects.BeginRun(standAlone);

    window->StartUp();
    return true;
}

int CTarvikApp::ExitInstance() {
    if (m_bComInitialised != 0) {
        m_classObjects.RevokeClassObjects();
        m_module.Term();
        m_bComInitialised = 0;
    }
    return m_bRegistrationFailed || m_bStartFailed ? 1 : 0;
}

void CTarvikApp::WinHelp(uint32_t data, uint32_t command) {
    if (m_pMainDlg != nullptr && m_pMainDlg->HelpKey()) {
        m_pMainDlg->ClearHelpKey();
        return;
    }
    switch (command) {
        case HELP_CONTEXT: m_helpViewer.HtmlHelp(m_pszHelpFilePath, HH_HELP_CONTEXT, data); break;
        case HELP_FINDER: m_helpViewer.HtmlHelp(m_pszHelpFilePath, HH_DISPLAY_TOPIC, 0); break;
        case HELP_HELPONHELP: m_helpViewer.HtmlHelp(m_pszHelpFilePath, HH_HELP_CONTEXT, 0); break;
        default: break;
    }
}

void CTarvikApp::OnMainWindowDestroyed() {
    m_module.SetMainWindow(nullptr);
    // Objects may outlive the window (an exit confirmed with clients connected).
    m_classObjects.SetMainWindow(nullptr);
    m_pMainDlg = nullptr;
}

}  // namespace tarvik
