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

class TarvikApp {
public:
    // `argv` as the program received it (its own name first); `helpFolder` holds the HTML pages.
    TarvikApp(TarvikModule& module, ClassObjects& classObjects, HelpViewer& helpViewer, std::vector<std::string> argv,
              std::string helpFolder);

    // Steps that need no display: the module, then the registration switches. False when the
    // process ends now (a registration run), true to go on with continueInstance.
    bool beginInstance();
    // The rest of the start-up: kind of run, the claim of a stand-alone run, class object, main
    // window, startUp. False when the process ends now.
    bool continueInstance(ShellWindowFactory& factory);
    bool initInstance(ShellWindowFactory& factory) { return beginInstance() && continueInstance(factory); }

    // Process end, after the event loop or a failed start-up: 0, or 1 after a registration run
    // that could not write or remove its files or a stand-alone start whose other run did not
    // answer. A start that had the other run show its window ends with 0.
    int exitInstance();

    // A help request (data, command) from the window or the preferences sheet.
    void winHelp(uint32_t data, uint32_t command);

    // The window object is going away; nothing may reach it from here on.
    void onMainWindowDestroyed();

    RegistrationSwitch registration() const { return m_registration; }
    const CommandLineInfo& commandLineInfo() const { return m_cmdInfo; }

    int32_t m_comInitialised = 0;
    ShellWindow* m_mainDlg = nullptr;
    std::string m_helpFilePath;

private:
    TarvikModule& m_module;
    ClassObjects& m_classObjects;
    HelpViewer& m_helpViewer;
    std::vector<std::string> m_argv;
    RegistrationSwitch m_registration = RegistrationSwitch::None;
    CommandLineInfo m_cmdInfo;
    bool m_registrationFailed = false;
    bool m_startFailed = false;
};

}  // namespace tarvik
