#pragma once
// The server's class object as the application shell sees it: offered to clients at start,
// withdrawn at the end, and the server's registration written or removed on request.
namespace tarvik {

class AutomationHost;

// What a stand-alone start learns before its window exists.
enum class InstanceClaim {
    Mine,              // it is the one stand-alone run (or there is no bus to ask): go on
    OtherShown,        // another stand-alone run was there and has shown its window: end
    OtherUnreachable,  // another was there but did not answer (reported): end
};

class ClassObjects {
public:
    virtual ~ClassObjects() = default;
    // A stand-alone start claims the control name first; whoever fails to get it asks the owner
    // to show its window instead of starting a second one.
    virtual InstanceClaim claimStandAlone() = 0;
    // False when the class object cannot be offered; the process then does not start.
    virtual bool registerClassObjects() = 0;
    virtual void revokeClassObjects() = 0;
    // The main window once it exists, null once it is gone; objects reach it only through this.
    virtual void setMainWindow(AutomationHost* window) = 0;
    // The kind of run is known and the window exists: a run started by a client ends itself when
    // no client reaches it in time.
    virtual void beginRun(bool standAlone) = 0;
    // Registration runs. False when something could not be written or removed (it is reported).
    virtual bool registerServer() = 0;
    virtual bool unregisterServer() = 0;
};

}  // namespace tarvik
