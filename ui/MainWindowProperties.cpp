// The Properties command: the window's settings go into the sheet, and on OK come back, are
// stored and take effect.
#include "res/StringTable.h"
#include "ui/MainWindow.h"
#include "ui/TarvikPropertySheet.h"

namespace tarvik {
namespace {

// A list with nothing selected: the machine's settings hold no number for the line.
constexpr int32_t NoPortStored = -1;

}  // namespace

void MainWindow::onProperties() {
    m_session.setContextMenuSuppressed(true);
    {
        ModalScope modal(*this);
        TarvikPropertySheet sheet(*m_portBindings, m_messageBox, this);
        sheet.setWindowIcon(m_icon);
        if (m_rememberPosition) saveWindowState();
        const SheetPorts shown = copyToSheet(sheet);
        if (sheet.doModal() == IDOK) applySheet(sheet, shown);
    }
    m_session.setContextMenuSuppressed(false);
}

MainWindow::SheetPorts MainWindow::copyToSheet(TarvikPropertySheet& sheet) {
    const SheetPorts shown{portShown(PortIdDisplay), portShown(PortIdMerge)};
    sheet.m_comms.m_displayPort = shown.display;
    sheet.m_comms.m_mergePort = shown.merge;
    sheet.m_prefs.m_float = m_float;
    sheet.m_prefs.m_rememberPosition = m_rememberPosition;
    sheet.m_prefs.m_startMode = m_startMode;
    sheet.m_mouse.m_startPosition = m_session.mouseStartPosition();
    sheet.m_mouse.m_mouseSpeed = m_session.mouseSpeed();
    sheet.m_macros.m_macros = m_session.macros();
    return shown;
}

int32_t MainWindow::portShown(int32_t portId) {
    const bool display = portId == PortIdDisplay;
    const PortManager& ports = m_session.ports();
    if (ports.isOpen(portId) || ports.isWaitingForDevice(portId))
        return display ? ports.displayPortNumber() : ports.mergePortNumber();
    // A run that opened nothing (started for a client, or with one number missing) has 0 in use,
    // which is not the user's choice: the page shows what is stored.
    return (display ? m_settings.displayPort() : m_settings.mergePort()).value_or(NoPortStored);
}

void MainWindow::applySheet(const TarvikPropertySheet& sheet, const SheetPorts& shown) {
    m_float = sheet.m_prefs.m_float;
    m_settings.setFloatOnTop(m_float);
    setFloat(m_float != 0);
    m_rememberPosition = sheet.m_prefs.m_rememberPosition;
    m_settings.setRememberPosition(m_rememberPosition);
    m_startMode = sheet.m_prefs.m_startMode;
    m_settings.setStartMode(m_startMode);
    // Mouse mode reads these the next time it starts.
    m_session.setMouseStartPosition(sheet.m_mouse.m_startPosition);
    m_settings.setMouseStartPosition(m_session.mouseStartPosition());
    m_session.setMouseSpeed(sheet.m_mouse.m_mouseSpeed);
    m_settings.setMouseSpeed(m_session.mouseSpeed());

    const bool displayChanged = storePort(true, sheet.m_comms.m_displayPort, shown.display);
    const bool mergeChanged = storePort(false, sheet.m_comms.m_mergePort, shown.merge);
    // The sheet does not edit the speed: it goes back as stored, which a run that never opened
    // the lines has not read yet.
    m_settings.setBaudRate(m_settings.baudRate().value_or(m_session.ports().baudRate()));
    // The lines are reopened from what the machine's settings now hold, which is the old numbers
    // when they could not be written.
    if (displayChanged || mergeChanged) m_session.openPorts();

    m_session.setMacros(sheet.m_macros.m_macros);
    m_session.saveMacros();
}

bool MainWindow::storePort(bool display, int32_t chosen, int32_t shown) {
    const auto store = [&](int32_t port) {
        return display ? m_settings.setDisplayPort(port) : m_settings.setMergePort(port);
    };
    if (chosen != shown) {
        store(chosen);
        return true;
    }
    // A number the user left alone is written back as the machine's settings hold it, and not
    // made up where they hold none.
    if (const auto stored = display ? m_settings.displayPort() : m_settings.mergePort()) store(*stored);
    return false;
}

}  // namespace tarvik
