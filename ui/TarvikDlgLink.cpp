// The window's side of the line protocols and of key codes: what arrives on the two lines, what
// goes out as a mouse packet, and what a translated key does.
#include "TarvikDlg.h"

#include "KeyCodeHandler.h"

namespace tarvik {

void CTarvikDlg::ParseDisplayInput() {
    // Nothing on the Display Port is interpreted yet: take what arrived so the line's listener
    // reports the next arrival, and let it go.
    m_ports.DrainPort(m_ports.m_displayPort, m_ports.m_strDisplayBuffer);
    m_ports.m_strDisplayBuffer.clear();
}

void CTarvikDlg::ParseMergeInput() {
    m_ports.DrainPort(m_ports.m_mergePort, m_ports.m_strMergeBuffer);
    m_ports.m_strMergeBuffer.clear();
}

void CTarvikDlg::SendMousePacket() { tarvik::SendMousePacket(*this, m_ports); }

void CTarvikDlg::OnKeyCode(uint32_t code, uint32_t action) {
    HandleKeyCode(code, action, *this, m_bHelpKey, m_ports, [this] { SendMousePacket(); });
    UpdateData(false);
}

void CTarvikDlg::OnMouseData() {}

}  // namespace tarvik
