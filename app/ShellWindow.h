#pragma once
// The main window as the application object drives it, so the start-up order can be checked
// without a display.
#include "automation/AutomationHost.h"
#include "common/Messages.h"

namespace tarvik {

class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    virtual void SetStandAlone(bool standAlone) = 0;
    // The post-creation start-up: placement and visibility, mouse settings, ports, macros, mouse.
    virtual void StartUp() = 0;
    // Set when F1 went to the instrument; the next help request only clears it.
    virtual bool HelpKey() const = 0;
    virtual void ClearHelpKey() = 0;
    // Where the server module posts its WM_CLOSE.
    virtual IMessagePoster& Poster() = 0;
    // What automation objects reach of the window.
    virtual IAutomationHost& AutomationHost() = 0;
};

class IMainWindowFactory {
public:
    virtual ~IMainWindowFactory() = default;
    // Creates and initialises the window, hidden. Null when it cannot be created. The window
    // object owns itself: it goes away after its window is destroyed and tells the application
    // through CTarvikApp::OnMainWindowDestroyed.
    virtual IMainWindow* CreateMainWindow() = 0;
};

}  // namespace tarvik
