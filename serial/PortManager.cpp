#include "serial/PortManager.h"

#include <cstring>
#include <utility>

#include "common/Win32Codes.h"
#include "lines/NetworkLine.h"
#include "res/StringTable.h"
#include "serial/TrafficMonitor.h"

namespace tarvik {

PortManager::PortManager(Settings& settings, DisplayLine& display, PortEvents& events, comm::LineOpener& lines,
                         comm::DeviceWatcher& watcher)
    : m_settings(settings),
      m_displayLine(display),
      m_events(events),
      m_lines(lines),
      m_watcher(watcher) {}

// Closed without a word: shutdown has told what it closed, and the window that shows the state may
// be half gone by now.
PortManager::~PortManager() { closeLines(); }

bool PortManager::openPorts() {
    const std::optional<int32_t> display = m_settings.displayPort();
    const std::optional<int32_t> merge = m_settings.mergePort();
    const bool haveDisplay = display.has_value();
    const bool haveMerge = merge.has_value();
    m_baudRate = m_settings.baudRate().value_or(comm::LineBaudRate);
    if (haveDisplay && haveMerge) {
        m_displayLine.restoreRemembered();
        closeLines();
        openDisplayPort(*display);
        openMergePort(*merge);
    } else {
        // Lines already open or tried keep their state, as they keep their ports.
        for (auto [port, have] : {std::pair{&m_display, haveDisplay}, std::pair{&m_merge, haveMerge}}) {
            if (!have && m_status.of(port->id).state == LineState::Closed)
                m_status.set(port->id, {LineState::NotConfigured, 0, {}, {}});
        }
        // A first start: typed keys go nowhere yet, and the empty line is where the user looks.
        // Not remembered, so the name or the next opening of the lines replaces it.
        if (m_displayLine.rememberedText().empty() && !m_display.line && !m_merge.line)
            m_displayLine.showText(NoPortsText);
    }
    m_events.sendMousePacket();
    return true;
}

bool PortManager::openDisplayPort(int32_t number) { return openPort(m_display, number); }

bool PortManager::openMergePort(int32_t number) { return openPort(m_merge, number); }

bool PortManager::openPort(Port& port, int32_t number) {
    port.number = number;
    if (!m_commsEnabled) return false;
    if (number < 1) {
        dropLine(port);
        m_status.set(port.id, {LineState::Off, number, {}, {}});
        return false;
    }
    comm::OpenReport report;
    const uint32_t result = openLine(port, report);
    const bool connecting = result == 0 && !port.line->isOpen();
    setOpenStatus(port, result, report, connecting ? LineState::Connecting : LineState::Open);
    if (result != 0) {
        m_displayLine.showAlertWithPrefix(StringCommsError, "Port " + std::to_string(number));
        return false;
    }
    return !connecting;
}

uint32_t PortManager::openLine(Port& port, comm::OpenReport& report) {
    // The reconnection holds the line, so it goes first.
    port.reconnector.reset();
    port.line.reset();
    std::unique_ptr<comm::Line> line = m_lines.open("COM" + std::to_string(port.number), report);
    if (!line) return report.error.code != 0 ? report.error.code : ERROR_GEN_FAILURE;
    comm::Line* raw = line.get();
    QObject::connect(raw, &comm::Line::readyRead, raw, [this, &port] { onReadyRead(port); });
    QObject::connect(raw, &comm::Line::lineError, raw, [this, &port] { onLineError(port); });
    QObject::connect(raw, &comm::Line::lost, raw, [this, &port](const comm::LineError& why) { onLost(port, why); });
    QObject::connect(raw, &comm::Line::opened, raw, [this, &port] { onOpened(port); });
    QObject::connect(raw, &comm::Line::openFailed, raw,
                     [this, &port](const comm::LineError& why) { onOpenFailed(port, why); });
    port.line = std::move(line);
    return 0;
}

void PortManager::setOpenStatus(Port& port, uint32_t result, const comm::OpenReport& report, LineState opened) {
    LineStatus status{result == 0 ? opened : LineState::NotOpen, port.number, report.target, report.error.reason};
    // Failures past the open itself have a code only.
    if (result != 0 && status.reason.empty()) {
        status.reason = systemErrorText(result);
        while (!status.reason.empty() && (status.reason.back() == '\n' || status.reason.back() == '.'))
            status.reason.pop_back();
    }
    m_status.set(port.id, std::move(status));
}

const PortManager::Port* PortManager::portOf(int64_t portId) const {
    return portId == PortIdDisplay ? &m_display : portId == PortIdMerge ? &m_merge : nullptr;
}

bool PortManager::isOpen(int64_t portId) const {
    const Port* port = portOf(portId);
    return port && port->line && port->line->isOpen();
}

bool PortManager::isWaitingForDevice(int64_t portId) const {
    const Port* port = portOf(portId);
    return port && (port->watch || port->reconnecting());
}

void PortManager::onLineError(Port& port) {
    if (m_commsEnabled) m_displayLine.showAlert(std::string("Error: ") + port.name);
}

void PortManager::onReadyRead(Port& port) {
    if (!m_commsEnabled) return;
    ++m_holdOutput;
    const std::string input = drain(port);
    if (&port == &m_display) m_events.displayInput(input);
    else m_events.mergeInput(input);
    if (--m_holdOutput == 0 && !m_heldOutput.empty()) {
        const std::string out = std::exchange(m_heldOutput, {});
        writeToPorts(reinterpret_cast<const uint8_t*>(out.data()), out.size());
    }
}

std::string PortManager::drain(Port& port) {
    std::string input;
    size_t count = 0;
    do {
        uint8_t chunk[ReadChunk];
        if (const uint32_t result = port.line->read(chunk, sizeof chunk, count)) {
            m_displayLine.showAlertWithCode("COM Error", result);
        }
        input.append(reinterpret_cast<const char*>(chunk), count);
        if (m_tap && count != 0) m_tap->onLineTraffic(port.traffic, TrafficDirection::In, chunk, count);
    } while (count == ReadChunk);
    return input;
}

// A network line that connected after openPort returned: as a local line that opened there.
void PortManager::onOpened(Port& port) {
    // A try of the reconnection, which reports its own success.
    if (!m_commsEnabled || port.reconnecting()) return;
    setOpenStatus(port, 0, {m_status.of(port.id).target, {}}, LineState::Open);
    m_events.sendMousePacket();
}

void PortManager::onOpenFailed(Port& port, const comm::LineError& why) {
    // A failed try of the reconnection only means another wait.
    if (!m_commsEnabled || port.reconnecting()) return;
    setOpenStatus(port, why.code != 0 ? why.code : ERROR_GEN_FAILURE, {m_status.of(port.id).target, why},
                  LineState::Open);
    m_displayLine.showAlertWithPrefix(StringCommsError, "Port " + std::to_string(port.number));
}

void PortManager::onLost(Port& port, const comm::LineError& why) {
    if (!m_commsEnabled) return;
    if (qobject_cast<net::NetworkLine*>(port.line.get())) {
        // Closed first, so nothing typed while the server is away is kept to be sent later.
        port.line->close();
        reconnect(port, why);
        m_displayLine.showAlert(std::string("Error: ") + port.name);
        return;
    }
    // Watched for before the alert shows, so a device that is back by the time anyone sees the
    // alert is not missed. Without a watch the line stays closed: the alert says why.
    port.watch = m_watcher.watch("COM" + std::to_string(port.number), [this, &port] { onDeviceChanged(port); });
    LineStatus status = m_status.of(port.id);
    status.state = port.watch ? LineState::Waiting : LineState::HungUp;
    m_status.set(port.id, std::move(status));
    m_displayLine.showAlert(std::string("Error: ") + port.name);
    // Closed, so the device can come back under its old name and nothing more is written to a
    // line that is gone.
    port.line->close();
}

// Tries the lost network line again after 1 s, 2 s, 4 s ... up to every 30 s; between tries only
// the reconnection's timer is armed.
void PortManager::reconnect(Port& port, const comm::LineError& why) {
    if (!port.reconnector) {
        port.reconnector = std::make_unique<net::Reconnector>(*qobject_cast<net::NetworkLine*>(port.line.get()));
        net::Reconnector* reconnector = port.reconnector.get();
        QObject::connect(reconnector, &net::Reconnector::waiting, reconnector,
                         [this, &port](int, const comm::LineError& last) {
                             if (!m_commsEnabled) return;
                             LineStatus status = m_status.of(port.id);
                             status.state = LineState::Reconnecting;
                             status.reason = last.reason;
                             m_status.set(port.id, std::move(status));
                         });
        QObject::connect(reconnector, &net::Reconnector::reconnected, reconnector,
                         [this, &port] { onReconnected(port); });
    }
    port.reconnector->start(why);
}

void PortManager::onReconnected(Port& port) {
    if (!m_commsEnabled) return;
    setOpenStatus(port, 0, {m_status.of(port.id).target, {}}, LineState::Reconnected);
    m_displayLine.showText(std::string("Reconnected: ") + port.name);
    m_events.sendMousePacket();
}

void PortManager::onDeviceChanged(Port& port) {
    if (!m_commsEnabled || !port.watch || (port.line && port.line->isOpen())) return;
    comm::OpenReport report;
    if (openLine(port, report) != 0) return;
    port.watch.reset();
    setOpenStatus(port, 0, report, LineState::Reconnected);
    m_displayLine.showText(std::string("Reconnected: ") + port.name);
    m_events.sendMousePacket();
}

void PortManager::writeToPorts(const uint8_t* bytes, size_t length) {
    if (m_holdOutput > 0) {
        m_heldOutput.append(reinterpret_cast<const char*>(bytes), length);
        return;
    }
    for (Port* port : {&m_display, &m_merge}) {
        if (!port->line || !port->line->isOpen()) continue;
        size_t count = 0;
        port->line->write(bytes, length, count);
        if (m_tap && count != 0) m_tap->onLineTraffic(port->traffic, TrafficDirection::Out, bytes, count);
    }
}

void PortManager::sendByteToPorts(uint8_t byte) { writeToPorts(&byte, 1); }

void PortManager::sendTextToPorts(const std::string& text) {
    // The text ends at its first zero byte, as a C string would.
    writeToPorts(reinterpret_cast<const uint8_t*>(text.c_str()), std::strlen(text.c_str()));
}

void PortManager::sendBufferToPorts(const uint8_t* bytes, size_t length) {
    if (!bytes && length != 0) return;
    writeToPorts(bytes, length);
}

void PortManager::closePorts() {
    closeLines();
    for (Port* port : {&m_display, &m_merge}) {
        LineStatus status = m_status.of(port->id);
        if (status.state != LineState::Open && status.state != LineState::Reconnected &&
            status.state != LineState::Waiting && status.state != LineState::Connecting &&
            status.state != LineState::Reconnecting) {
            continue;
        }
        status.state = LineState::Closed;
        m_status.set(port->id, std::move(status));
    }
}

void PortManager::closeLines() {
    for (Port* port : {&m_display, &m_merge}) dropLine(*port);
}

void PortManager::dropLine(Port& port) {
    port.watch.reset();
    port.reconnector.reset();
    port.line.reset();
}

}  // namespace tarvik
