#pragma once
// The main window as automation objects see it: sends recorded, the mouse state in the open,
// one recorded state per mouse packet.
#include <string>
#include <vector>

#include "automation/AutomationHost.h"
#include "tests/support/LineRecorders.h"

namespace tarvik::test {

class FakeAutomationHost : public IAutomationHost {
public:
    IPortSender& Ports() override { return ports; }
    MouseState& SharedMouseState() override { return mouse; }
    void SendMousePacket() override { packets.push_back(mouse); }
    IInstrumentEvents* GetAutomationObject() const override { return automationObject; }
    void SetAutomationObject(IInstrumentEvents* object) override { automationObject = object; }
    void SetInstrumentListener(IInstrumentEvents* value) override { listener = value; }
    std::string InstrumentName() const override { return name; }
    void ShowFromClient(bool show) override { shown.push_back(show); }
    void CloseFromClient(std::function<void(bool)> answered) override { answered(false); }

    // What the window's name handling does: the automation object first, then the listener.
    void Report(const std::string& changed) {
        if (automationObject) automationObject->FireInstrumentChanged(changed);
        if (listener) listener->FireInstrumentChanged(changed);
        name = changed;
    }

    RecordingPorts ports;
    MouseState mouse;
    std::vector<MouseState> packets;
    IInstrumentEvents* automationObject = nullptr;
    IInstrumentEvents* listener = nullptr;
    std::string name;
    std::vector<bool> shown;
};

}  // namespace tarvik::test
