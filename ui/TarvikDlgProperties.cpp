// The Properties command: the window's settings go into the sheet, and on OK come back, are
// stored and take effect.
#include "res/StringTable.h"
#include "ui/TarvikDlg.h"
#include "ui/TarvikPropertySheet.h"

namespace tarvik {
namespace {

// A list with nothing selected: the machine's settings hold no number for the line.
constexpr int32_t kNoPortStored = -1;

}  // namespace

void CTarvikDlg::OnProperties() {
    m_session.setContextMenuSuppressed(true);
    {
        CModalScope modal(*this);
        CTarvikPropertySheet sheet(*portBindings_, m_messageBox, this);
        sheet.setWindowIcon(m_hIcon);
        if (m_bRememberPosition) SaveWindowState();
        const SheetPorts shown = CopyToSheet(sheet);
        if (sheet.DoModal() == IDOK) ApplySheet(sheet, shown);
    }
    m_session.setContextMenuSuppressed(false);
}

CTarvikDlg::SheetPorts CTarvikDlg::CopyToSheet(CTarvikPropertySheet& sheet) {
    const SheetPorts shown{PortShown(PortIdDisplay), PortShown(PortIdMerge)};
    sheet.m_comms.m_nDisplayPort = shown.display;
    sheet.m_comms.m_nMergePort = shown.merge;
    sheet.m_prefs.m_bFloat = m_bFloat;
    sheet.m_prefs.m_bRememberPosition = m_bRememberPosition;
    sheet.m_prefs.m_nStartMode = m_nStartMode;
    sheet.m_mouse.m_nStartPosition = m_session.mouseStartPosition();
    sheet.m_mouse.m_nMouseSpeed = m_session.mouseSpeed();
    sheet.m_macros.m_macros = m_session.macros();
    return shown;
}

int32_t CTarvikDlg::PortShown(int32_t portId) {
    const bool display = portId == PortIdDisplay;
    const PortManager& ports = m_session.ports();
    if (ports.isOpen(portId) || ports.isWaitingForDevice(portId))
        return display ? ports.displayPortNumber() : ports.mergePortNumber();
    // A run that opened nothing (started for a client, or with one number missing) has 0 in use,
    // which is not the user's choice: the page shows what is stored.
    int32_t stored = 0;
    return m_settings.ReadSettingNumber(HKEY_LOCAL_MACHINE, display ? IDS_DISPLAY_PORT : IDS_MERGE_PORT, stored)
               ? stored
               : kNoPortStored;
}

void CTarvikDlg::ApplySheet(const CTarvikPropertySheet& sheet, const SheetPorts& shown) {
    m_bFloat = sheet.m_prefs.m_bFloat;
    m_settings.WriteSettingNumber(HKEY_CURRENT_USER, IDS_MAIN_FLOAT, m_bFloat);
    SetFloat(m_bFloat != 0);
    m_bRememberPosition = sheet.m_prefs.m_bRememberPosition;
    m_settings.WriteSettingNumber(HKEY_CURRENT_USER, IDS_MAIN_REM_POSITION, m_bRememberPosition);
    m_nStartMode = sheet.m_prefs.m_nStartMode;
    m_settings.WriteSettingNumber(HKEY_CURRENT_USER, IDS_MAIN_START, m_nStartMode);
    // Mouse mode reads these the next time it starts.
    m_session.setMouseStartPosition(sheet.m_mouse.m_nStartPosition);
    m_settings.WriteSettingNumber(HKEY_CURRENT_USER, IDS_MOUSE_POSITION, m_session.mouseStartPosition());
    m_session.setMouseSpeed(sheet.m_mouse.m_nMouseSpeed);
    m_settings.WriteSettingNumber(HKEY_CURRENT_USER, IDS_MOUSE_SPEED, m_session.mouseSpeed());

    const bool displayChanged = StorePort(IDS_DISPLAY_PORT, sheet.m_comms.m_nDisplayPort, shown.display);
    const bool mergeChanged = StorePort(IDS_MERGE_PORT, sheet.m_comms.m_nMergePort, shown.merge);
    // The sheet does not edit the speed: it goes back as stored, which a run that never opened
    // the lines has not read yet.
    int32_t baud = 0;
    if (!m_settings.ReadSettingNumber(HKEY_LOCAL_MACHINE, IDS_BAUD, baud)) baud = m_session.ports().baudRate();
    m_settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, IDS_BAUD, baud);
    // The lines are reopened from what the machine's settings now hold, which is the old numbers
    // when they could not be written.
    if (displayChanged || mergeChanged) m_session.openPorts();

    m_session.setMacros(sheet.m_macros.m_macros);
    m_session.saveMacros();
}

bool CTarvikDlg::StorePort(uint32_t nameId, int32_t chosen, int32_t shown) {
    if (chosen != shown) {
        m_settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, nameId, chosen);
        return true;
    }
    // A number the user left alone is written back as the machine's settings hold it, and not
    // made up where they hold none.
    int32_t stored = 0;
    if (m_settings.ReadSettingNumber(HKEY_LOCAL_MACHINE, nameId, stored))
        m_settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, nameId, stored);
    return false;
}

}  // namespace tarvik
