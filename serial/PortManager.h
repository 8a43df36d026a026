#pragma once
// The window's two lines to the instrument: the Display Port (text from the instrument) and the
// Merge Port (the instrument's own keyboard and mouse in, the merged stream out). Opening them
// from the settings, their notifications, draining their input, writing to both, and their alerts.
// Everything here runs on the window's thread; the lines' listeners only post to it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "app/core/ISettings.h"
#include "common/IPortSender.h"
#include "common/Messages.h"
#include "common/Win32Codes.h"
#include "platform/comm/DeviceWatch.h"
#include "serial/DisplayLine.h"
#include "serial/LineStatus.h"
#include "serial/SerialPort.h"

namespace tarvik {

class ITrafficTap;

// What is done with the lines' input and when the mouse state must go out (the instrument link).
class IPortEvents {
public:
    virtual ~IPortEvents() = default;
    virtual void ParseDisplayInput() = 0;
    virtual void ParseMergeInput() = 0;
    virtual void SendMousePacket() = 0;
};

inline constexpr uint32_t kLineBaudRate = 9600;
// What the display line shows while the machine's settings name no lines and no name has come.
inline constexpr char kNoPortsText[] = "Set Com Ports in Properties";
inline constexpr size_t kReadChunk = 128;

// How long a write of `length` bytes may take before the rest is dropped: the time the bytes
// need at the line speed (ten bits each), plus a second.
constexpr uint32_t WriteTimeoutMs(size_t length) {
    const uint64_t ms = (static_cast<uint64_t>(length) * 10 * 1000 + kLineBaudRate - 1) / kLineBaudRate + 1000;
    return ms >= 0xFFFFFFFEull ? 0xFFFFFFFEu : static_cast<uint32_t>(ms);
}

class CPortManager : public IPortSender {
public:
    CPortManager(ISettings& settings, CDisplayLine& display, IMessagePoster& window, IPortEvents& events,
                 comm::ICommApi& comm = comm::RealCommApi(),
                 comm::IDeviceWatchApi& watches = comm::RealDeviceWatchApi());
    ~CPortManager() override;
    CPortManager(const CPortManager&) = delete;
    CPortManager& operator=(const CPortManager&) = delete;

    // Reads the port numbers and "Baud"; reopens both lines only when both numbers can be read;
    // always sends the mouse packet. Always true. While numbers are missing, nothing is open and
    // no name has come, the display line says where to set them (kNoPortsText).
    bool OpenPorts();
    // True when the line is open. Numbers below 1 mean off.
    bool OpenDisplayPort(int32_t number);
    bool OpenMergePort(int32_t number);

    // The handler of PortNotifyMessage. Always 0. A line that hung up (its device went away) is
    // closed and its device watched for; see OnPortBack.
    int64_t OnPortNotification(uint64_t wParam, int64_t lParam);
    // The handler of UWM_PORTBACK: the way to a lost line's device changed. When the line opens
    // again it gets the settings of any opening, the display line says so and the mouse state
    // goes out; otherwise it is still watched for.
    void OnPortBack(int64_t portId);
    bool IsWaitingForDevice(int64_t portId) const;
    // Appends everything waiting on `port` to `buffer`, in 128-byte reads until a short one.
    void DrainPort(CSerialPort& port, std::string& buffer);

    void SendByteToPorts(uint8_t byte) override;
    void SendTextToPorts(const std::string& text) override;
    void SendBufferToPorts(const uint8_t* bytes, size_t length) override;

    // Shutdown: stop handling notifications first, then (after the last mouse packet) close the
    // Display Port and then the Merge Port.
    void SetCommsEnabled(bool enabled) { m_bCommsEnabled = enabled ? 1 : 0; }
    // Closes both lines and stops waiting for lost ones.
    void ClosePorts();
    // Each line's state for the user, kept beside the display line's alerts.
    CLinkStatus& Status() { return m_status; }
    // Told of every byte written to or drained from either line while set (the traffic monitor,
    // while someone watches); null when nobody does.
    void SetTrafficTap(ITrafficTap* tap) { tap_ = tap; }

    CSerialWindowPort m_displayPort;
    CSerialWindowPort m_mergePort;
    int32_t m_nDisplayPortNumber = 0;
    int32_t m_nMergePortNumber = 0;
    int32_t m_nBaudRate = kLineBaudRate;
    Bool32 m_bCommsEnabled = 0;

private:
    bool OpenPort(CSerialWindowPort& port, int32_t& current, int32_t number, int64_t portId);
    uint32_t OpenLine(CSerialWindowPort& port, int32_t number, int64_t portId);
    CSerialWindowPort* PortOf(int64_t portId);
    std::unique_ptr<comm::IDeviceWatch>* WatchOf(int64_t portId);
    void OnLineLost(int64_t portId);
    // The line's state after an open of COM<number> that ended with `result`.
    void SetOpenStatus(int64_t portId, int32_t number, uint32_t result, LineState opened);
    void CloseLines();
    void WriteToPorts(const uint8_t* bytes, size_t length);
    void FlushHeldOutput();

    // While a notification is handled, what is sent collects here and goes out in one write per
    // line when the handling ends: the same bytes in the same order on each line, without a
    // system call per forwarded byte.
    int m_nHoldOutput = 0;  // nesting depth, in case handling ever runs a nested event loop
    std::string m_heldOutput;

    ISettings& m_settings;
    CDisplayLine& m_display;
    IMessagePoster& m_window;
    IPortEvents& m_events;
    comm::IDeviceWatchApi& watches_;
    ITrafficTap* tap_ = nullptr;
    CLinkStatus m_status;
    // Set while a line that hung up waits for its device. Only a hang-up starts one: a port that
    // failed to open, or that the user set to 0, is left as the user has it.
    std::unique_ptr<comm::IDeviceWatch> displayWatch_;
    std::unique_ptr<comm::IDeviceWatch> mergeWatch_;
};

}  // namespace tarvik
