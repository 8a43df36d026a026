#pragma once
// A port manager wired to recorded window parts, over the communications layer `Comm` (scripted
// fakes or the real one on pseudo-terminals).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "serial/PortManager.h"
#include "tests/support/FakeDeviceWatch.h"
#include "tests/support/FakeSettings.h"
#include "tests/support/LineRecorders.h"
#include "tests/support/Recorders.h"

namespace tarvik::test {

// Parses as the window would: drains the port into its buffer, keeps what came, empties it.
class FakePortEvents : public IPortEvents {
public:
    CPortManager* manager = nullptr;
    std::string displayBuffer, mergeBuffer;  // as the link keeps them
    std::string displayInput, mergeInput;
    int displayParses = 0, mergeParses = 0, mousePackets = 0;
    std::function<void()> whileParsing;  // what the window sends in answer

    void ParseDisplayInput() override { Drain(manager->m_displayPort, displayBuffer, displayInput, displayParses); }
    void ParseMergeInput() override { Drain(manager->m_mergePort, mergeBuffer, mergeInput, mergeParses); }
    void SendMousePacket() override { ++mousePackets; }

private:
    void Drain(CSerialWindowPort& port, std::string& buffer, std::string& into, int& parses) {
        ++parses;
        manager->DrainPort(port, buffer);
        into += buffer;
        buffer.clear();
        if (whileParsing) whileParsing();
    }
};

template <class Comm>
class PortRig {
public:
    PortRig() {
        events.manager = &manager;
        manager.SetCommsEnabled(true);
        manager.Status().SetLog([this](const std::string& text) { logged.push_back(text); });
    }
    ~PortRig() { manager.ClosePorts(); }

    void OpenWith(int32_t display, int32_t merge) {
        settings.numbers[{HKEY_LOCAL_MACHINE, "Display Port"}] = display;
        settings.numbers[{HKEY_LOCAL_MACHINE, "Merge Port"}] = merge;
        manager.OpenPorts();
    }

    Comm comm;
    FakeSettings settings;
    FakeDisplayView view;
    CDisplayLine display{view};
    RecordingPoster window;
    FakePortEvents events;
    FakeDeviceWatches watches;
    std::vector<std::string> logged;  // the lines' state changes, as standard error would get them
    CPortManager manager{settings, display, window, events, comm, watches};
};

}  // namespace tarvik::test
