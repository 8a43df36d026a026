#pragma once
// The main window as the application object drives it, so the start-up order can be checked
// without a display.
#include "automation/AutomationHost.h"
#include "common/Messages.h"

namespace tarvik {

class ShellWindow {
public:
    virtual ~ShellWindow() = default;
    virtual void setStandAlone(bool standAlone) = 0;
    // The post-creation start-up: placement and visibility, mouse settings, ports, macros, mouse.
    virtual void startUp() = 0;
    // Set when F1 went to the instrument; the next help request only clears it.
    virtual bool helpKey() const = 0;
    virtual void clearHelpKey() = 0;
    // What the server module asks to close.
    virtual CloseTarget& closeTarget() = 0;
    // What automation objects reach of the window.
    virtual AutomationHost& automationHost() = 0;
};

class ShellWindowFactory {
public:
    virtual ~ShellWindowFactory() = default;
    // Creates and initialises the window, hidden. Null when it cannot be created. The window
    // object owns itself: it goes away after its window is destroyed and tells the application
    // through TarvikApp::onMainWindowDestroyed.
    virtual ShellWindow* createMainWindow() = 0;
};

}  // namespace tarvik
