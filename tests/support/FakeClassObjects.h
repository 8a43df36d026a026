#pragma once
// Class objects for a run without a bus: nothing to offer or register, every step succeeds.
#include "automation/ClassObjects.h"

namespace tarvik::test {

class FakeClassObjects : public IClassObjects {
public:
    InstanceClaim ClaimStandAlone() override { return InstanceClaim::Mine; }
    bool RegisterClassObjects() override { return true; }
    void RevokeClassObjects() override {}
    void SetMainWindow(IAutomationHost* window) override { host = window; }
    void BeginRun(bool standAlone) override { this->standAlone = standAlone; }
    bool RegisterServer() override { return true; }
    bool UnregisterServer() override { return true; }

    IAutomationHost* host = nullptr;
    bool standAlone = false;
};

}  // namespace tarvik::test
