#include "serial/LineStatus.h"

#include <cstdio>
#include <utility>

#include "common/Messages.h"

namespace tarvik {
namespace {

std::string stateText(const LineStatus& status) {
    switch (status.state) {
        case LineState::Closed: return "closed";
        case LineState::NotConfigured: return "not configured";
        case LineState::Off: return "off";
        case LineState::Open: return "open";
        case LineState::NotOpen: return "not open" + (status.reason.empty() ? "" : ": " + status.reason);
        case LineState::HungUp: return "hung up";
        case LineState::Waiting: return "hung up, waiting for it to come back";
        case LineState::Reconnected: return "reconnected";
        case LineState::Connecting: return "connecting";
        case LineState::Reconnecting:
            return "waiting to reconnect" + (status.reason.empty() ? "" : " (" + status.reason + ")");
    }
    return {};
}

}  // namespace

std::string lineStatusText(const std::string& line, const LineStatus& status) {
    std::string text = line + ": ";
    // A number only matters where the state came from trying it.
    const bool tried = status.number > 0 && status.state != LineState::Off && status.state != LineState::NotConfigured;
    if (tried) {
        text += "COM" + std::to_string(status.number);
        if (!status.target.empty()) text += " \xE2\x86\x92 " + status.target;  // U+2192, an arrow
        text += ", ";
    }
    return text + stateText(status);
}

LinkStatus::LinkStatus()
    : m_log([](const std::string& text) {
          // One write per line, so lines of other writers never cut into it.
          const std::string line = "tarvik: " + text + "\n";
          std::fwrite(line.data(), 1, line.size(), stderr);
      }) {}

void LinkStatus::set(int64_t portId, LineStatus status) {
    if (portId != PortIdDisplay && portId != PortIdMerge) return;
    const char* name = portId == PortIdDisplay ? "Display" : "Merge";
    LineStatus& current = portId == PortIdDisplay ? m_display : m_merge;
    const std::string text = lineStatusText(name, status);
    const bool changed = text != lineStatusText(name, current);
    current = std::move(status);
    if (!changed) return;
    if (m_log) m_log(text);
    if (m_observer) m_observer();
}

const LineStatus& LinkStatus::of(int64_t portId) const { return portId == PortIdMerge ? m_merge : m_display; }

std::string LinkStatus::text() const {
    return lineStatusText("Display", m_display) + "\n" + lineStatusText("Merge", m_merge);
}

}  // namespace tarvik
