#include "serial/InstrumentLink.h"

namespace tarvik {

InstrumentLink::InstrumentLink(Settings& settings, DisplayLine& display, LinkHost& host, comm::LineOpener& lines,
                               comm::DeviceWatcher& watcher)
    : m_host(host),
      m_ports(settings, display, *this, lines, watcher) {}

void InstrumentLink::displayInput(const std::string& bytes) {
    m_displayParser.parse(bytes, [this](const std::string& name) { reportInstrumentName(name); });
}

void InstrumentLink::reportInstrumentName(const std::string& name) {
    m_lastReportedName.report(
        name, [this](const std::string& changed) { m_host.fireInstrumentChanged(changed); },
        [this](const std::string& changed) { m_host.showInstrumentName(changed); });
}

void InstrumentLink::mergeInput(const std::string& bytes) { m_mergeParser.parse(bytes, m_ports, m_host); }

}  // namespace tarvik
