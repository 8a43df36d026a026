#include "serial/PortManager.h"

#include <cstring>

#include "res/StringTable.h"

namespace tarvik {

CPortManager::CPortManager(ISettings& settings, CDisplayLine& display, IMessagePoster& window, IPortEvents& events,
                           comm::ICommApi& comm)
    : m_displayPort(comm),
      m_mergePort(comm),
      m_settings(settings),
      m_display(display),
      m_window(window),
      m_events(events) {}

CPortManager::~CPortManager() { ClosePorts(); }

bool CPortManager::OpenPorts() {
    int32_t display = 0;
    int32_t merge = 0;
    const bool haveDisplay = m_settings.ReadSettingNumber(HKEY_LOCAL_MACHINE, IDS_DISPLAY_PORT, display);
    const bool haveMerge = m_settings.ReadSettingNumber(HKEY_LOCAL_MACHINE, IDS_MERGE_PORT, merge);
    int32_t baud = 0;
    m_nBaudRate = m_settings.ReadSettingNumber(HKEY_LOCAL_MACHINE, IDS_BAUD, baud) ? baud : kLineBaudRate;
    if (haveDisplay && haveMerge) {
        m_display.RestoreRemembered();
        m_displayPort.Close();
        m_mergePort.Close();
        OpenDisplayPort(display);
        OpenMergePort(merge);
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
    if (number < 1 || !m_bCommsEnabled) return false;
    const std::string device = "COM" + std::to_string(number);
    if (port.Open(device, &m_window, PortNotifyMessage, portId, 0, 0) != 0) {
        m_display.ShowAlertWithPrefix(IDS_COMMS_ERROR, "Port " + std::to_string(number));
        return false;
    }
    port.Configure(kLineBaudRate, 8, comm::NOPARITY, comm::ONESTOPBIT);
    port.EscapeCommFunction(comm::SETDTR);
    port.EscapeCommFunction(comm::SETRTS);
    return true;
}

int64_t CPortManager::OnPortNotification(uint64_t wParam, int64_t lParam) {
    if (!m_bCommsEnabled) return 0;
    const uint32_t events = static_cast<uint32_t>(wParam & 0xFFFFu);
    const uint32_t errors = static_cast<uint32_t>((wParam >> 16) & 0xFFFFu);
    if (errors != 0) {
        if (lParam == PortIdDisplay) m_display.ShowAlert("Error: Display");
        else if (lParam == PortIdMerge) m_display.ShowAlert("Error: Merge");
    }
    if (events & comm::EV_RXCHAR) {
        CSerialWindowPort* port = lParam == PortIdDisplay ? &m_displayPort
                                  : lParam == PortIdMerge ? &m_mergePort
                                                          : nullptr;
        if (port == nullptr) return 0;
        // The listener goes back to watching the line only once the answer is out, so it does not
        // wake up and compete with the writes; bytes that arrive meanwhile are reported then.
        port->HoldListener(true);
        ++m_nHoldOutput;
        if (lParam == PortIdDisplay) m_events.ParseDisplayInput();
        else m_events.ParseMergeInput();
        if (--m_nHoldOutput == 0) FlushHeldOutput();
        port->HoldListener(false);
    }
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
    m_displayPort.Write(bytes, length, nullptr, timeout);
    m_mergePort.Write(bytes, length, nullptr, timeout);
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

void CPortManager::ClosePorts() {
    m_displayPort.Close();
    m_mergePort.Close();
}

}  // namespace tarvik
