#include "serial/InstrumentLink.h"

#include <utility>

namespace tarvik {

CInstrumentLink::CInstrumentLink(ISettings& settings, CDisplayLine& display, IMessagePoster& window, ILinkHost& host,
                                 comm::ICommApi& comm)
    : m_host(host),
      m_ports(settings, display, window, *this, comm) {}

void CInstrumentLink::ParseDisplayInput() {
    m_ports.DrainPort(m_ports.m_displayPort, m_strDisplayBuffer);
    // Taken out of the buffer first: a report may reach code that drains the line again.
    const std::string input = std::exchange(m_strDisplayBuffer, {});
    m_displayParser.Parse(input, [this](const std::string& name) { ReportInstrumentName(name); });
}

void CInstrumentLink::ReportInstrumentName(const std::string& name) {
    m_lastReportedName.Report(
        name, [this](const std::string& changed) { m_host.FireInstrumentChanged(changed); },
        [this](const std::string& changed) { m_host.ShowInstrumentName(changed); });
}

void CInstrumentLink::ParseMergeInput() {
    m_ports.DrainPort(m_ports.m_mergePort, m_strMergeBuffer);
    const std::string input = std::exchange(m_strMergeBuffer, {});
    m_mergeParser.Parse(input, m_ports, m_host);
}

}  // namespace tarvik
