#pragma once
// A port manager wired to recorded window parts, over `Lines` (scripted fakes, or the real serial
// lines on pseudo-terminals) and a device watch the test drives.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Win32Codes.h"
#include "serial/PortManager.h"
#include "tests/support/FakeDeviceWatch.h"
#include "tests/support/FakeSettings.h"
#include "tests/support/LineRecorders.h"

namespace tarvik::test {

// Keeps what each line brought, as the link would get it.
class RecordingPortEvents : public PortEvents {
public:
    std::string displayBytes, mergeBytes;
    int displayArrivals = 0, mergeArrivals = 0, mousePackets = 0;
    std::function<void()> whileHandling;  // what the window sends in answer

    void displayInput(const std::string& bytes) override { take(bytes, displayBytes, displayArrivals); }
    void mergeInput(const std::string& bytes) override { take(bytes, mergeBytes, mergeArrivals); }
    void sendMousePacket() override { ++mousePackets; }

private:
    void take(const std::string& bytes, std::string& into, int& arrivals) {
        ++arrivals;
        into += bytes;
        if (whileHandling) whileHandling();
    }
};

template <class Lines>
class PortRig {
public:
    PortRig() {
        manager.setCommsEnabled(true);
        manager.status().setLog([this](const std::string& text) { logged.push_back(text); });
    }
    ~PortRig() { manager.closePorts(); }

    void openWith(int32_t display, int32_t merge) {
        settings.numbers[{HKEY_LOCAL_MACHINE, "Display Port"}] = display;
        settings.numbers[{HKEY_LOCAL_MACHINE, "Merge Port"}] = merge;
        manager.openPorts();
    }

    Lines lines;
    FakeSettings settings;
    FakeDisplayView view;
    DisplayLine display{view};
    RecordingPortEvents events;
    FakeDeviceWatcher watcher;
    std::vector<std::string> logged;  // the lines' state changes, as standard error would get them
    PortManager manager{settings, display, events, lines, watcher};
};

}  // namespace tarvik::test
