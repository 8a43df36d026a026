#pragma once
// Class objects for a run without a bus: nothing to offer or register, every step succeeds.
#include "automation/ClassObjects.h"

namespace tarvik::test {

class FakeClassObjects : public ClassObjects {
public:
    InstanceClaim claimStandAlone() override { return InstanceClaim::Mine; }
    bool registerClassObjects() override { return true; }
    void revokeClassObjects() override {}
    void setMainWindow(AutomationHost* window) override { host = window; }
    void beginRun(bool standAlone) override { this->standAlone = standAlone; }
    bool registerServer() override { return true; }
    bool unregisterServer() override { return true; }

    AutomationHost* host = nullptr;
    bool standAlone = false;
};

}  // namespace tarvik::test
