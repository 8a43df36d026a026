#pragma once
// The main window as automation objects see it: sends recorded, the mouse state in the open,
// one recorded state per mouse packet.
#include <string>
#include <vector>

#include "automation/AutomationHost.h"
#include "tests/support/LineRecorders.h"

namespace tarvik::test {

class FakeAutomationHost : public AutomationHost {
public:
    PortSender& ports() override { return recordedPorts; }
    MouseState& sharedMouseState() override { return mouse; }
    void sendMousePacket() override { packets.push_back(mouse); }
    InstrumentEvents* getAutomationObject() const override { return automationObject; }
    void setAutomationObject(InstrumentEvents* object) override { automationObject = object; }
    void setInstrumentListener(InstrumentEvents* value) override { listener = value; }
    std::string instrumentName() const override { return name; }
    void showFromClient(bool show) override { shown.push_back(show); }
    void closeFromClient(std::function<void(bool)> answered) override { answered(false); }

    // What the window's name handling does: the automation object first, then the listener.
    void report(const std::string& changed) {
        if (automationObject) automationObject->fireInstrumentChanged(changed);
        if (listener) listener->fireInstrumentChanged(changed);
        name = changed;
    }

    RecordingPorts recordedPorts;
    MouseState mouse;
    std::vector<MouseState> packets;
    InstrumentEvents* automationObject = nullptr;
    InstrumentEvents* listener = nullptr;
    std::string name;
    std::vector<bool> shown;
};

}  // namespace tarvik::test
