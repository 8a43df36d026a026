#pragma once
// The two lines to the instrument: the Display Port (text from the instrument) and the Merge Port
// (the instrument's own keyboard and mouse in, the merged stream out). Opening them from the
// settings, reacting to what they signal, draining their input, writing to both, their alerts and
// states, and waiting for a lost line's device or, for a network line, trying it again after a
// growing wait. All of it runs on the thread of the event loop
// that watches the lines.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/Messages.h"
#include "common/PortSender.h"
#include "common/Traffic.h"
#include "lines/DeviceWatch.h"
#include "lines/Line.h"
#include "lines/NetworkLineOpener.h"
#include "lines/Reconnector.h"
#include "lines/SerialLine.h"
#include "serial/DisplayLine.h"
#include "serial/LineStatus.h"
#include "settings/Settings.h"

namespace tarvik {

class TrafficTap;

// What is done with the lines' input and when the mouse state must go out (the instrument link).
class PortEvents {
public:
    virtual ~PortEvents() = default;
    // Everything that was waiting on the line when its data was reported. What is sent meanwhile
    // goes out in one write per line once this returns.
    virtual void displayInput(const std::string& bytes) = 0;
    virtual void mergeInput(const std::string& bytes) = 0;
    virtual void sendMousePacket() = 0;
};

// What the display line shows while the machine's settings name no lines and no name has come.
inline constexpr char NoPortsText[] = "Set Com Ports in Properties";
inline constexpr size_t ReadChunk = 128;

class PortManager : public PortSender {
public:
    PortManager(Settings& settings, DisplayLine& display, PortEvents& events,
                comm::LineOpener& lines = net::networkLines(),
                comm::DeviceWatcher& watcher = comm::inotifyDeviceWatcher());
    ~PortManager() override;
    PortManager(const PortManager&) = delete;
    PortManager& operator=(const PortManager&) = delete;

    // Reads the port numbers and "Baud"; reopens both lines only when both numbers can be read;
    // always sends the mouse packet. Always true. While numbers are missing, nothing is open and
    // no name has come, the display line says where to set them (NoPortsText). Not to be called
    // from a line's own signal.
    bool openPorts();
    // True when the line is open; a network line still connecting says later (its state and, on
    // failure, the same alert). Numbers below 1 mean off.
    bool openDisplayPort(int32_t number);
    bool openMergePort(int32_t number);
    // Closes both lines and stops waiting for lost ones.
    void closePorts();
    // Off from the first step of shutdown: nothing opens and nothing the lines report is handled.
    void setCommsEnabled(bool enabled) { m_commsEnabled = enabled; }
    bool commsEnabled() const { return m_commsEnabled; }

    // The numbers last applied (also 0 and those that failed to open); "Baud" as last read.
    int32_t displayPortNumber() const { return m_display.number; }
    int32_t mergePortNumber() const { return m_merge.number; }
    int32_t baudRate() const { return m_baudRate; }
    // `portId` is PortIdDisplay or PortIdMerge.
    bool isOpen(int64_t portId) const;
    // Lost, and waiting for the device to come back or for the next try of a network line.
    bool isWaitingForDevice(int64_t portId) const;
    // Each line's state for the user, kept beside the display line's alerts.
    LinkStatus& status() { return m_status; }
    // Told of every byte written to or drained from either line while set (the traffic monitor,
    // while someone watches); null when nobody does.
    void setTrafficTap(TrafficTap* tap) { m_tap = tap; }

    // Display Port first, then Merge Port; a line that is not open is skipped, one that does not
    // take its bytes in time loses them.
    void sendByteToPorts(uint8_t byte) override;
    void sendTextToPorts(const std::string& text) override;
    void sendBufferToPorts(const uint8_t* bytes, size_t length) override;

private:
    struct Port {
        Port(int64_t id, const char* name, TrafficLine traffic) : id(id), name(name), traffic(traffic) {}
        const int64_t id;
        const char* const name;
        const TrafficLine traffic;
        int32_t number = 0;
        std::unique_ptr<comm::Line> line;
        // Set while the line, lost, waits for its device. Only a hang-up starts one: a port that
        // failed to open, or that the user set to 0, is left as the user has it.
        std::unique_ptr<comm::DeviceWatch> watch;
        // Set once a network line was lost; active while it waits to try the line again.
        std::unique_ptr<net::Reconnector> reconnector;
        bool reconnecting() const { return reconnector && reconnector->active(); }
    };

    bool openPort(Port& port, int32_t number);
    uint32_t openLine(Port& port, comm::OpenReport& report);
    void setOpenStatus(Port& port, uint32_t result, const comm::OpenReport& report, LineState opened);
    const Port* portOf(int64_t portId) const;
    void onReadyRead(Port& port);
    void onLineError(Port& port);
    void onOpened(Port& port);
    void onOpenFailed(Port& port, const comm::LineError& why);
    void onLost(Port& port, const comm::LineError& why);
    void reconnect(Port& port, const comm::LineError& why);
    void onReconnected(Port& port);
    void dropLine(Port& port);
    void onDeviceChanged(Port& port);
    std::string drain(Port& port);
    void closeLines();
    void writeToPorts(const uint8_t* bytes, size_t length);

    Settings& m_settings;
    DisplayLine& m_displayLine;
    PortEvents& m_events;
    comm::LineOpener& m_lines;
    comm::DeviceWatcher& m_watcher;
    Port m_display{PortIdDisplay, "Display", TrafficLine::Display};
    Port m_merge{PortIdMerge, "Merge", TrafficLine::Merge};
    int32_t m_baudRate = comm::LineBaudRate;
    bool m_commsEnabled = false;
    TrafficTap* m_tap = nullptr;
    LinkStatus m_status;
    // While a line's data is handled, what is sent collects here and goes out in one write per
    // line when the handling ends: the same bytes in the same order on each line, without a
    // system call per forwarded byte.
    int m_holdOutput = 0;  // nesting depth, in case handling ever runs a nested event loop
    std::string m_heldOutput;
};

}  // namespace tarvik
