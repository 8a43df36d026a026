#pragma once
// What the main window tells the automation object: the instrument reported a new current
// instrument name. The automation object passes it on to every connected client.
#include <string>

namespace tarvik {

class InstrumentEvents {
public:
    virtual ~InstrumentEvents() = default;
    // Called on the window's thread, before the window shows the name.
    virtual void fireInstrumentChanged(const std::string& name) = 0;
};

}  // namespace tarvik
