#pragma once
// The application object: decides the kind of run, brings the server module up and down, creates
// the main window and routes help requests.
#include <cstdint>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ShellWindow.h"
#include "automation/ClassObjects.h"
#include "automation/TarvikModule.h"
#include "common/Win32Codes.h"
#include "res/HelpPages.h"

namespace tarvik {

class CTarvikApp {
public:
    // `argv` as the program received it (its own name first); `helpFolder` holds the HTML pages.
    CTarvikApp(CTarvikModule& module, IClassObjects& classObjects, IHelpViewer& helpViewer,
               std::vector<std::string> argv, std::string helpFolder);

    // Steps that need no display: the module, then the registration switches. False when the
    // process ends now (a registration run), true to go on with ContinueInstance.
    bool BeginInstance();
    // The rest of the start-up: kind of run, the claim of a stand-alone run, class object, main
    // window, StartUp. False when the process ends now.
    bool ContinueInstance(IMainWindowFactory& factory);
    bool InitInstance(IMainWindowFactory& factory) { return BeginInstance() && ContinueInstance(factory); }

    // Process end, after the event loop or a failed start-up: 0, or 1 after a registration run
    // that could not write or remove its files or a stand-alone start whose other run did not
    // answer. A start that had the other run show its window ends with 0.
    int ExitInstance();

    // A help request (data, command) from the window or the preferences sheet.
    void WinHelp(uint32_t data, uint32_t command);

    // The window object is going away; nothing may reach it from here on.
    void OnMainWindowDestroyed();

    RegistrationSwitch Registration() const { return m_registration; }
    const CCommandLineInfo& CommandLineInfo() const { return m_cmdInfo; }

    Bool32 m_bComInitialised = 0;
    IMainWindow* m_pMainDlg = nullptr;
    std::string m_pszHelpFilePath;

private:
    CTarvikModule& m_module;
    IClassObjects& m_classObjects;
    IHelpViewer& m_helpViewer;
    std::vector<std::string> m_argv;
    RegistrationSwitch m_registration = RegistrationSwitch::None;
    CCommandLineInfo m_cmdInfo;
    bool m_bRegistrationFailed = false;
    bool m_bStartFailed = false;
};

}  // namespace tarvik
