#pragma once
// What the automation objects need of the main window: the sends that keys and macros use, the
// shared mouse state, and the instrument name. The window implements it; the objects never hold
// the window itself, so they may outlive it.
#include <functional>
#include <string>

#include "automation/InstrumentEvents.h"
#include "common/MouseState.h"
#include "common/PortSender.h"
#include "common/Traffic.h"

namespace tarvik {

class AutomationHost {
public:
    virtual ~AutomationHost() = default;

    virtual PortSender& ports() = 0;
    virtual MouseState& sharedMouseState() = 0;
    // Encodes the whole shared mouse state as one packet and sends it to both lines.
    virtual void sendMousePacket() = 0;

    // The window's m_automationObject: the one object whose clients hear of a new name.
    virtual InstrumentEvents* getAutomationObject() const = 0;
    virtual void setAutomationObject(InstrumentEvents* object) = 0;

    // Hears of every changed name whether or not an automation object exists (the control
    // interface); null to stop.
    virtual void setInstrumentListener(InstrumentEvents* listener) = 0;
    // The name the instrument reported last, as its bytes; empty before the first.
    virtual std::string instrumentName() const = 0;
    // Shows (restored, raised, active) or hides the window, as its notification-area icon and its
    // Close command do.
    virtual void showFromClient(bool show) = 0;
    // A close request from a program: asked as every close request is, from the event loop once
    // the caller has returned, so no question ever runs inside a bus call. `answered` hears
    // whether Tarvik ends (before its shutdown work) or the user kept it.
    virtual void closeFromClient(std::function<void(bool ends)> answered) = 0;

    // Both lines' traffic, for the bus's subscribers; null where there is none to watch.
    virtual TrafficSource* traffic() { return nullptr; }
};

}  // namespace tarvik
