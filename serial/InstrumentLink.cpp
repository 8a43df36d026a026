#include "serial/InstrumentLink.h"

namespace tarvik {

CInstrumentLink::CInstrumentLink(ISettings& settings, CDisplayLine& display, ILinkHost& host, comm::LineOpener& lines,
                                 comm::DeviceWatcher& watcher)
    : m_host(host),
      m_ports(settings, display, *this, lines, watcher) {}

void CInstrumentLink::displayInput(const std::string& bytes) {
    m_displayParser.Parse(bytes, [this](const std::string& name) { ReportInstrumentName(name); });
}

void CInstrumentLink::ReportInstrumentName(const std::string& name) {
    m_lastReportedName.Report(
        name, [this](const std::string& changed) { m_host.FireInstrumentChanged(changed); },
        [this](const std::string& changed) { m_host.ShowInstrumentName(changed); });
}

void CInstrumentLink::mergeInput(const std::string& bytes) { m_mergeParser.Parse(bytes, m_ports, m_host); }

}  // namespace tarvik
