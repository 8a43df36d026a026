#pragma once
// The instrument link as the window sees it: the two lines, what arrives on them, and what goes
// out. It runs each line's parser on what the line brought: names from the Display Port go to the
// host once each, the Merge Port's keys are passed on and its mouse packets handed to the host.
// The host (the window) only answers the callbacks.
#include <cstdint>
#include <string>

#include "serial/DisplayLine.h"
#include "serial/DisplayProtocol.h"
#include "serial/MergeProtocol.h"
#include "serial/PortManager.h"
#include "serial/TrafficMonitor.h"
#include "settings/Settings.h"

namespace tarvik {

// What the link needs of the window that owns the shared mouse state and the automation object.
class LinkHost : public MergeHost {
public:
    // A name that differs from the last one reported: clients hear of it first, then the window
    // shows and remembers it.
    virtual void fireInstrumentChanged(const std::string& name) = 0;
    virtual void showInstrumentName(const std::string& name) = 0;
};

class InstrumentLink : private PortEvents {
public:
    InstrumentLink(Settings& settings, DisplayLine& display, LinkHost& host,
                   comm::LineOpener& lines = net::networkLines(),
                   comm::DeviceWatcher& watcher = comm::inotifyDeviceWatcher());

    PortManager& ports() { return m_ports; }
    // Both lines' traffic, for whoever watches it (the monitor window, bus subscribers).
    TrafficMonitor& monitor() { return m_monitor; }

    // A complete name field: fired and shown when it differs from the last one.
    void reportInstrumentName(const std::string& name);

    const DisplayParser& displayParser() const { return m_displayParser; }
    const MergeParser& mergeParser() const { return m_mergeParser; }
    const LastReportedName& lastReportedName() const { return m_lastReportedName; }

private:
    // A parser's state outlives each line's arrivals and its reopenings.
    void displayInput(const std::string& bytes) override;
    void mergeInput(const std::string& bytes) override;
    void sendMousePacket() override { m_host.sendMousePacket(); }

    LinkHost& m_host;
    PortManager m_ports;
    DisplayParser m_displayParser;
    LastReportedName m_lastReportedName;
    MergeParser m_mergeParser;
    TrafficMonitor m_monitor{[this](TrafficTap* tap) { m_ports.setTrafficTap(tap); }};
};

}  // namespace tarvik
