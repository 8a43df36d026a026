#pragma once
// The server's class object as the application shell sees it: made available to clients at
// start, withdrawn at the end, and the server's registration written or removed on request.
namespace tarvik {

class IClassObjects {
public:
    virtual ~IClassObjects() = default;
    // False when the class object cannot be offered; the process then does not start.
    virtual bool RegisterClassObjects() = 0;
    virtual void RevokeClassObjects() = 0;
    // Registration runs; their results are not reported (the process ends with 0 regardless).
    virtual void RegisterServer() = 0;
    virtual void UnregisterServer() = 0;
};

// Until the bus service exists there is nothing to offer or to register: every step succeeds.
class CClassObjects : public IClassObjects {
public:
    bool RegisterClassObjects() override { return true; }
    void RevokeClassObjects() override {}
    void RegisterServer() override {}
    void UnregisterServer() override {}
};

}  // namespace tarvik
