#pragma once
// The server's class object as the application shell sees it: offered to clients at start,
// withdrawn at the end, and the server's registration written or removed on request.
namespace tarvik {

class IAutomationHost;

// What a stand-alone start learns before its window exists.
enum class InstanceClaim {
    Mine,              // it is the one stand-alone run (or there is no bus to ask): go on
    OtherShown,        // another stand-alone run was there and has shown its window: end
    OtherUnreachable,  // another was there but did not answer (reported): end
};

class IClassObjects {
public:
    virtual ~IClassObjects() = default;
    // A stand-alone start claims the control name first; whoever fails to get it asks the owner
    // to show its window instead of starting a second one.
    virtual InstanceClaim ClaimStandAlone() = 0;
    // False when the class object cannot be offered; the process then does not start.
    virtual bool RegisterClassObjects() = 0;
    virtual void RevokeClassObjects() = 0;
    // The main window once it exists, null once it is gone; objects reach it only through this.
    virtual void SetMainWindow(IAutomationHost* window) = 0;
    // The kind of run is known and the window exists: a run started by a client ends itself when
    // no client reaches it in time.
    virtual void BeginRun(bool standAlone) = 0;
    // Registration runs. False when something could not be written or removed (it is reported).
    virtual bool RegisterServer() = 0;
    virtual bool UnregisterServer() = 0;
};

}  // namespace tarvik
