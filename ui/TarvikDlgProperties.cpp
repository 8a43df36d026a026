// The Properties command: the window's settings go into the sheet, and on OK come back, are
// stored and take effect.
#include "res/StringTable.h"
#include "ui/TarvikDlg.h"
#include "ui/TarvikPropertySheet.h"

namespace tarvik {

void CTarvikDlg::OnProperties() {
    m_mouse.m_bSuppressContextMenu = 1;
    {
        CModalScope modal(*this);
        CTarvikPropertySheet sheet(*portBindings_, m_messageBox);
        sheet.setWindowIcon(m_hIcon);
        if (m_bRememberPosition) SaveWindowState();
        CopyToSheet(sheet);
        if (sheet.DoModal() == IDOK) ApplySheet(sheet);
    }
    m_mouse.m_bSuppressContextMenu = 0;
}

void CTarvikDlg::CopyToSheet(CTarvikPropertySheet& sheet) {
    sheet.m_comms.m_nDisplayPort = m_ports.displayPortNumber();
    sheet.m_comms.m_nMergePort = m_ports.mergePortNumber();
    sheet.m_prefs.m_bFloat = m_bFloat;
    sheet.m_prefs.m_bRememberPosition = m_bRememberPosition;
    sheet.m_prefs.m_nStartMode = m_nStartMode;
    sheet.m_mouse.m_nStartPosition = m_mouse.m_nMouseStartPosition;
    sheet.m_mouse.m_nMouseSpeed = m_mouse.m_nMouseSpeed;
    sheet.m_macros.m_macros = m_macros;
}

void CTarvikDlg::ApplySheet(const CTarvikPropertySheet& sheet) {
    m_bFloat = sheet.m_prefs.m_bFloat;
    m_settings.WriteSettingNumber(HKEY_CURRENT_USER, IDS_MAIN_FLOAT, m_bFloat);
    SetFloat(m_bFloat != 0);
    m_bRememberPosition = sheet.m_prefs.m_bRememberPosition;
    m_settings.WriteSettingNumber(HKEY_CURRENT_USER, IDS_MAIN_REM_POSITION, m_bRememberPosition);
    m_nStartMode = sheet.m_prefs.m_nStartMode;
    m_settings.WriteSettingNumber(HKEY_CURRENT_USER, IDS_MAIN_START, m_nStartMode);
    // Mouse mode reads these the next time it starts.
    m_mouse.m_nMouseStartPosition = sheet.m_mouse.m_nStartPosition;
    m_settings.WriteSettingNumber(HKEY_CURRENT_USER, IDS_MOUSE_POSITION, m_mouse.m_nMouseStartPosition);
    m_mouse.m_nMouseSpeed = sheet.m_mouse.m_nMouseSpeed;
    m_settings.WriteSettingNumber(HKEY_CURRENT_USER, IDS_MOUSE_SPEED, m_mouse.m_nMouseSpeed);

    const int32_t displayPort = sheet.m_comms.m_nDisplayPort;
    const int32_t mergePort = sheet.m_comms.m_nMergePort;
    m_settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, IDS_DISPLAY_PORT, displayPort);
    m_settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, IDS_MERGE_PORT, mergePort);
    m_settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, IDS_BAUD, m_ports.baudRate());
    // The lines are reopened from what the machine's settings now hold, which is the old numbers
    // when they could not be written.
    if (displayPort != m_ports.displayPortNumber() || mergePort != m_ports.mergePortNumber()) OpenPorts();

    m_macros = sheet.m_macros.m_macros;
    SaveMacros();
}

}  // namespace tarvik
