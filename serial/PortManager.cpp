#include "serial/PortManager.h"

#include <cstring>
#include <utility>

#include "res/StringTable.h"
#include "serial/TrafficMonitor.h"

namespace tarvik {

CPortManager::CPortManager(ISettings& settings, CDisplayLine& display, IMessagePoster& window, IPortEvents& events,
                           comm::ICommApi& comm, comm::IDeviceWatchApi& watches)
    : m_displayPort(comm),
      m_mergePort(comm),
      m_settings(settings),
      m_display(display),
      m_window(window),
      m_events(events),
      watches_(watches) {}

// Closed without a word: shutdown has told what it closed, and the window that shows the state may
// be half gone by now.
CPortManager::~CPortManager() { CloseLines(); }

bool CPortManager::OpenPorts() {
    int32_t display = 0;
    int32_t merge = 0;
    const bool haveDisplay = m_settings.ReadSettingNumber(HKEY_LOCAL_MACHINE, IDS_DISPLAY_PORT, display);
    const bool haveMerge = m_settings.ReadSettingNumber(HKEY_LOCAL_MACHINE, IDS_MERGE_PORT, merge);
    int32_t baud = 0;
    m_nBaudRate = m_settings.ReadSettingNumber(HKEY_LOCAL_MACHINE, IDS_BAUD, baud) ? baud : kLineBaudRate;
    if (haveDisplay && haveMerge) {
        m_display.RestoreRemembered();
        displayWatch_.reset();
        mergeWatch_.reset();
        m_displayPort.Close();
        m_mergePort.Close();
        OpenDisplayPort(display);
        OpenMergePort(merge);
    } else {
        // Lines already open or tried keep their state, as they keep their ports.
        for (auto [portId, have] : {std::pair{PortIdDisplay, haveDisplay}, std::pair{PortIdMerge, haveMerge}}) {
            if (!have && m_status.Of(portId).state == LineState::Closed)
                m_status.Set(portId, {LineState::NotConfigured, 0, {}, {}});
        }
        // A first start: typed keys go nowhere yet, and the empty line is where the user looks.
        // Not remembered, so the name or the next opening of the lines replaces it.
        if (m_display.RememberedText().empty() && !m_displayPort.IsOpen() && !m_mergePort.IsOpen())
            m_display.ShowText(kNoPortsText);
    }
    m_events.SendMousePacket();
    return true;
}

bool CPortManager::OpenDisplayPort(int32_t number) {
    return OpenPort(m_displayPort, m_nDisplayPortNumber, number, PortIdDisplay);
}

bool CPortManager::OpenMergePort(int32_t number) {
    return OpenPort(m_mergePort, m_nMergePortNumber, number, PortIdMerge);
}

bool CPortManager::OpenPort(CSerialWindowPort& port, int32_t& current, int32_t number, int64_t portId) {
    current = number;
    if (!m_bCommsEnabled) return false;
    if (number < 1) {
        m_status.Set(portId, {LineState::Off, number, {}, {}});
        return false;
    }
    const uint32_t result = OpenLine(port, number, portId);
    SetOpenStatus(portId, number, result, LineState::Open);
    if (result != 0) {
        m_display.ShowAlertWithPrefix(IDS_COMMS_ERROR, "Port " + std::to_string(number));
        return false;
    }
    return true;
}

void CPortManager::SetOpenStatus(int64_t portId, int32_t number, uint32_t result, LineState opened) {
    const comm::OpenReport& report = PortOf(portId)->LastOpenReport();
    LineStatus status{result == 0 ? opened : LineState::NotOpen, number, report.target, report.reason};
    // Failures past the open itself (the line's settings) have a code only.
    if (result != 0 && status.reason.empty()) {
        status.reason = SystemErrorText(result);
        while (!status.reason.empty() && (status.reason.back() == '\n' || status.reason.back() == '.'))
            status.reason.pop_back();
    }
    m_status.Set(portId, std::move(status));
}

uint32_t CPortManager::OpenLine(CSerialWindowPort& port, int32_t number, int64_t portId) {
    const std::string device = "COM" + std::to_string(number);
    if (const uint32_t result = port.Open(device, &m_window, PortNotifyMessage, portId, 0, 0)) return result;
    port.Configure(kLineBaudRate, 8, comm::NOPARITY, comm::ONESTOPBIT);
    port.EscapeCommFunction(comm::SETDTR);
    port.EscapeCommFunction(comm::SETRTS);
    return 0;
}

CSerialWindowPort* CPortManager::PortOf(int64_t portId) {
    return portId == PortIdDisplay ? &m_displayPort : portId == PortIdMerge ? &m_mergePort : nullptr;
}

std::unique_ptr<comm::IDeviceWatch>* CPortManager::WatchOf(int64_t portId) {
    return portId == PortIdDisplay ? &displayWatch_ : portId == PortIdMerge ? &mergeWatch_ : nullptr;
}

bool CPortManager::IsWaitingForDevice(int64_t portId) const {
    return portId == PortIdDisplay ? displayWatch_ != nullptr : portId == PortIdMerge && mergeWatch_ != nullptr;
}

int64_t CPortManager::OnPortNotification(uint64_t wParam, int64_t lParam) {
    if (!m_bCommsEnabled) return 0;
    const uint32_t events = static_cast<uint32_t>(wParam & 0xFFFFu);
    const uint32_t errors = static_cast<uint32_t>((wParam >> 16) & 0xFFFFu);
    CSerialWindowPort* port = PortOf(lParam);
    // Watched for before the alert shows, so a device that is back by the time anyone sees the
    // alert is not missed.
    const bool lost = port != nullptr && (errors & comm::CE_IOE) != 0 && port->IsOpen();
    if (lost) OnLineLost(lParam);
    if (errors != 0) {
        if (lParam == PortIdDisplay) m_display.ShowAlert("Error: Display");
        else if (lParam == PortIdMerge) m_display.ShowAlert("Error: Merge");
    }
    if (events & comm::EV_RXCHAR && port != nullptr) {
        // The listener goes back to watching the line only once the answer is out, so it does not
        // wake up and compete with the writes; bytes that arrive meanwhile are reported then.
        port->HoldListener(true);
        ++m_nHoldOutput;
        if (lParam == PortIdDisplay) m_events.ParseDisplayInput();
        else m_events.ParseMergeInput();
        if (--m_nHoldOutput == 0) FlushHeldOutput();
        port->HoldListener(false);
    }
    // Closed, so the device can come back under its old name and nothing more is written to a
    // line that is gone.
    if (lost) port->Close();
    return 0;
}

void CPortManager::DrainPort(CSerialPort& port, std::string& buffer) {
    size_t count = 0;
    do {
        char chunk[kReadChunk];
        if (port.Read(chunk, sizeof chunk, &count, comm::INFINITE) != 0) {
            m_display.ShowAlertWithCode("COM Error", port.LastError());
        }
        buffer.append(chunk, count);
        if (tap_ && count != 0 && (&port == &m_displayPort || &port == &m_mergePort)) {
            tap_->OnLineTraffic(&port == &m_displayPort ? TrafficLine::Display : TrafficLine::Merge,
                                TrafficDirection::In, reinterpret_cast<const uint8_t*>(chunk), count);
        }
    } while (count == kReadChunk);
}

void CPortManager::FlushHeldOutput() {
    if (m_heldOutput.empty()) return;
    const std::string out = std::move(m_heldOutput);
    m_heldOutput.clear();
    WriteToPorts(reinterpret_cast<const uint8_t*>(out.data()), out.size());
}

void CPortManager::WriteToPorts(const uint8_t* bytes, size_t length) {
    if (m_nHoldOutput > 0) {
        m_heldOutput.append(reinterpret_cast<const char*>(bytes), length);
        return;
    }
    // A line that does not take its bytes in time loses them; the window must not freeze and the
    // other line is still written.
    const uint32_t timeout = WriteTimeoutMs(length);
    size_t count = 0;
    m_displayPort.Write(bytes, length, &count, timeout);
    if (tap_ && count != 0) tap_->OnLineTraffic(TrafficLine::Display, TrafficDirection::Out, bytes, count);
    m_mergePort.Write(bytes, length, &count, timeout);
    if (tap_ && count != 0) tap_->OnLineTraffic(TrafficLine::Merge, TrafficDirection::Out, bytes, count);
}

void CPortManager::SendByteToPorts(uint8_t byte) { WriteToPorts(&byte, 1); }

void CPortManager::SendTextToPorts(const std::string& text) {
    // The text ends at its first zero byte, as a C string would.
    WriteToPorts(reinterpret_cast<const uint8_t*>(text.c_str()), std::strlen(text.c_str()));
}

void CPortManager::SendBufferToPorts(const uint8_t* bytes, size_t length) {
    if (!bytes && length != 0) return;
    WriteToPorts(bytes, length);
}

void CPortManager::OnLineLost(int64_t portId) {
    std::unique_ptr<comm::IDeviceWatch>& watch = *WatchOf(portId);
    const int32_t number = portId == PortIdDisplay ? m_nDisplayPortNumber : m_nMergePortNumber;
    watch.reset();
    // Without a watch the line stays closed, as before there were watches: the alert says why.
    watches_.Watch(
        "COM" + std::to_string(number), [this, portId] { m_window.Post(UWM_PORTBACK, 0, portId); }, watch);
    LineStatus status = m_status.Of(portId);
    status.state = watch ? LineState::Waiting : LineState::HungUp;
    m_status.Set(portId, std::move(status));
}

void CPortManager::OnPortBack(int64_t portId) {
    std::unique_ptr<comm::IDeviceWatch>* watch = WatchOf(portId);
    // Reports may still be queued from a watch that has ended.
    if (!m_bCommsEnabled || watch == nullptr || !*watch) return;
    CSerialWindowPort& port = *PortOf(portId);
    const int32_t number = portId == PortIdDisplay ? m_nDisplayPortNumber : m_nMergePortNumber;
    if (port.IsOpen() || OpenLine(port, number, portId) != 0) return;
    watch->reset();
    SetOpenStatus(portId, number, 0, LineState::Reconnected);
    m_display.ShowText(portId == PortIdDisplay ? "Reconnected: Display" : "Reconnected: Merge");
    m_events.SendMousePacket();
}

void CPortManager::ClosePorts() {
    CloseLines();
    for (int64_t portId : {PortIdDisplay, PortIdMerge}) {
        LineStatus status = m_status.Of(portId);
        if (status.state != LineState::Open && status.state != LineState::Reconnected &&
            status.state != LineState::Waiting) {
            continue;
        }
        status.state = LineState::Closed;
        m_status.Set(portId, std::move(status));
    }
}

void CPortManager::CloseLines() {
    displayWatch_.reset();
    mergeWatch_.reset();
    m_displayPort.Close();
    m_mergePort.Close();
}

}  // namespace tarvik
