// The window's side of the line protocols and of key codes: what arrives on the two lines, what
// goes out as a mouse packet, and what a translated key does.
#include "ui/TarvikDlg.h"

#include <string>
#include <utility>

#include "input/KeyCodeHandler.h"

namespace tarvik {

void CTarvikDlg::ParseDisplayInput() {
    m_ports.DrainPort(m_ports.m_displayPort, m_ports.m_strDisplayBuffer);
    // Taken out of the buffer first: a report may reach code that drains the line again.
    const std::string input = std::move(m_ports.m_strDisplayBuffer);
    m_ports.m_strDisplayBuffer.clear();
    m_displayParser.Parse(input, [this](const std::string& name) { ReportInstrumentName(name); });
}

void CTarvikDlg::ReportInstrumentName(const std::string& name) {
    m_lastReportedName.Report(
        name,
        [this](const std::string& changed) {
            // Clients hear of the new name before the window shows it.
            if (m_pAutomationObject) m_pAutomationObject->FireInstrumentChanged(changed);
        },
        [this](const std::string& changed) { ShowRemembered(changed); });
}

void CTarvikDlg::ParseMergeInput() {
    m_ports.DrainPort(m_ports.m_mergePort, m_ports.m_strMergeBuffer);
    const std::string input = std::move(m_ports.m_strMergeBuffer);
    m_ports.m_strMergeBuffer.clear();
    m_mergeParser.Parse(input, m_ports, *this);
}

void CTarvikDlg::SendMousePacket() { tarvik::SendMousePacket(*this, m_ports); }

void CTarvikDlg::OnKeyCode(uint32_t code, uint32_t action) {
    HandleKeyCode(code, action, *this, m_bHelpKey, m_ports, [this] { SendMousePacket(); });
    UpdateData(false);
}

void CTarvikDlg::OnMouseData() {}

}  // namespace tarvik
