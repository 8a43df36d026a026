#include "ui/TarvikPPComms.h"

#include <chrono>

#include <QAbstractItemView>
#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QInputDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>

#include "common/Win32Codes.h"
#include "lines/NetworkLine.h"
#include "lines/PortsFolder.h"
#include "res/StringTable.h"

namespace tarvik {
namespace {

constexpr int Entries = static_cast<int>(comm::HighestPortNumber) + 1;  // "OFF", COM1..COM256

const DialogTemplate& commsTemplate() {
    static const DialogTemplate page{
        108,
        "Com Ports",
        235,
        152,
        "MS Sans Serif",
        8,
        {
            {1008, ControlKind::GroupBox, "Display Port", 7, 7, 221, 66, 0},
            {ControlDisplayPort, ControlKind::ComboBox, "", 16, 20, 150, 150, VScroll | TabStop},
            {ControlBindDisplay, ControlKind::Button, "Bind…", 172, 19, 48, 14, PushButton | TabStop},
            {NoControlId, ControlKind::Static, "The Display Port displays the current instrument in the Tarvik window",
             16, 40, 204, 26, 0},
            {1018, ControlKind::GroupBox, "Merge Port", 7, 78, 221, 66, 0},
            {ControlMergePort, ControlKind::ComboBox, "", 16, 91, 150, 150, VScroll | TabStop},
            {ControlBindMerge, ControlKind::Button, "Bind…", 172, 90, 48, 14, PushButton | TabStop},
            {NoControlId, ControlKind::Static,
             "The Merge Port allows the simultaneous use of the original Alphanumeric keyboard.", 16, 111, 204, 26, 0},
        }};
    return page;
}

QString toQString(const std::string& text) { return QString::fromStdString(text); }

// How a device appears in the chooser: a stable name also says which tty it is now.
QString deviceLabel(const std::string& device) {
    const QFileInfo info(toQString(device));
    if (!info.isSymLink()) return info.filePath();
    return info.filePath() + QStringLiteral(" (") + QFileInfo(info.symLinkTarget()).fileName() + QStringLiteral(")");
}

}  // namespace

TarvikPPComms::TarvikPPComms(comm::PortBindings& bindings, MessageBox& messageBox)
    : PropertyPage(commsTemplate()),
      m_bindings(bindings),
      m_messageBox(messageBox) {}

QString TarvikPPComms::entryText(int index, const std::map<uint32_t, comm::PortBinding>& bindings) {
    if (index == 0) return QStringLiteral("OFF");
    QString text = QStringLiteral("COM%1").arg(index);
    const auto bound = bindings.find(static_cast<uint32_t>(index));
    if (bound != bindings.end()) {
        text += QStringLiteral(" — ") + toQString(bound->second.target);
        if (!bound->second.present) text += QStringLiteral(" (missing)");
    }
    return text;
}

void TarvikPPComms::onInitDialog() {
    updateData(false);
    if (m_displayPortCombo == nullptr || m_mergePortCombo == nullptr) return;
    const auto bindings = m_bindings.readBindings();
    // The list index is the stored value, so the entries stay in number order.
    for (int i = 0; i < Entries; ++i) {
        const QString text = entryText(i, bindings);
        m_displayPortCombo->insertItem(i, text);
        m_mergePortCombo->insertItem(i, text);
    }
    widenLists();
    // A stored number the lists do not hold leaves its list without a selection, and the number is
    // kept unless the user picks an entry.
    m_displayPortCombo->setCurrentIndex(m_displayPort >= 0 && m_displayPort < Entries ? m_displayPort : -1);
    m_mergePortCombo->setCurrentIndex(m_mergePort >= 0 && m_mergePort < Entries ? m_mergePort : -1);
    connect(m_displayPortCombo, &QComboBox::currentIndexChanged, this, [this](int index) { m_displayPort = index; });
    connect(m_mergePortCombo, &QComboBox::currentIndexChanged, this, [this](int index) { m_mergePort = index; });
    for (int listId : {ControlDisplayPort, ControlMergePort}) {
        auto* bind = qobject_cast<QPushButton*>(
            getDlgItem(*this, listId == ControlDisplayPort ? ControlBindDisplay : ControlBindMerge));
        if (bind) connect(bind, &QPushButton::clicked, this, [this, listId] { onBind(listId); });
    }
}

void TarvikPPComms::doDataExchange(DataExchange& dx) {
    dx.control(ControlDisplayPort, m_displayPortCombo);
    dx.control(ControlMergePort, m_mergePortCombo);
}

void TarvikPPComms::onBind(int listId) {
    const std::vector<std::string> devices = m_bindings.listDevices();
    QStringList labels;
    for (const std::string& device : devices) labels << deviceLabel(device);
    const int selected = portList(listId)->currentIndex();
    const QString number = selected > 0 ? QStringLiteral("COM%1").arg(selected) : QStringLiteral("a free COM number");
    const QString found = devices.empty() ? QStringLiteral(
                                                "No serial device was found (/dev/serial/by-id, /dev/ttyUSB*, "
                                                "/dev/ttyACM*).\n")
                                          : QString();
    bool chosen = false;
    // Editable, so a network address can be typed: an instrument behind an RFC 2217 server.
    const QString text =
        QInputDialog::getItem(this, QStringLiteral("Bind ") + number,
                              found + QStringLiteral("Serial device, or network address (rfc2217://host:port), for ") +
                                  number + QStringLiteral(":"),
                              labels, 0, true, &chosen);
    if (!chosen || text.trimmed().isEmpty()) return;
    const qsizetype index = labels.indexOf(text);
    const std::string typed = text.trimmed().toStdString();
    if (index >= 0) bindDevice(listId, devices[static_cast<size_t>(index)]);
    else if (net::isNetworkAddress(typed)) bindAddress(listId, typed);
    else bindDevice(listId, typed);
}

bool TarvikPPComms::bindDevice(int listId, const std::string& device) {
    QComboBox* list = portList(listId);
    if (list == nullptr) return false;
    const uint32_t access = m_bindings.checkDevice(device);
    if (access == ERROR_ACCESS_DENIED) {
        const std::string group = comm::deviceGroup(device);
        showProblem("You may not use " + device + ".\n\nSerial devices belong to the group \"" + group +
                    "\". Add yourself to it, then log out and in again:\n\n    sudo usermod -aG " + group +
                    " $USER\n\nNothing was changed.");
        return false;
    }
    if (access != ERROR_SUCCESS) {
        showProblem(device + (access == comm::ERROR_NOT_SUPPORTED ? " is not a serial device." : " is not present.") +
                    "\n\nNothing was changed.");
        return false;
    }
    const uint32_t number = numberFor(listId);
    return number != 0 && writeBinding(listId, number, device);
}

bool TarvikPPComms::bindAddress(int listId, const std::string& text, int timeoutMs) {
    if (portList(listId) == nullptr) return false;
    net::NetAddress address;
    std::string problem;
    if (!net::parseNetAddress(text, address, problem)) {
        showProblem(text + " is not an address Tarvik can use: " + problem + ".\n\nNothing was changed.");
        return false;
    }
    const uint32_t number = numberFor(listId);
    if (number == 0) return false;
    comm::LineError why;
    const bool answered = checkAddress(address, timeoutMs, why);
    const std::string com = "COM" + std::to_string(number);
    const std::string found =
        answered ? text + " answered: " + address.host + " port " + std::to_string(address.port) +
                       (address.tls ? " took the connection, and its certificate verified." : " took the connection.") +
                       "\n\nBind " + com + " to it?"
                 : text + " did not answer: " + why.reason + ".\n\nBind " + com +
                       " to it anyway? Tarvik tries it each time it opens the ports.";
    const unsigned flags = answered ? MB_YESNO : MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2;
    if (m_messageBox.showMessage(found, loadString(StringPropertiesCaption), flags) != IDYES) return false;
    return writeBinding(listId, number, text);
}

// Connects once as the port manager would, with a local event loop so the window keeps painting,
// and a progress box the user can cancel.
bool TarvikPPComms::checkAddress(const net::NetAddress& address, int timeoutMs, comm::LineError& why) {
    net::LineSettings settings;
    settings.openTimeout = std::chrono::milliseconds(timeoutMs);
    net::NetworkLine line(address, settings);
    QEventLoop loop;
    bool answered = false;
    why = {ERROR_OPERATION_ABORTED, "the check was cancelled"};
    QObject::connect(&line, &comm::Line::opened, &loop, [&] {
        answered = true;
        loop.quit();
    });
    QObject::connect(&line, &comm::Line::openFailed, &loop, [&](const comm::LineError& error) {
        why = error;
        loop.quit();
    });
    QProgressDialog progress(QStringLiteral("Connecting to ") + toQString(address.text) + QStringLiteral("…"),
                             QStringLiteral("Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
    line.open();
    loop.exec();
    line.close();
    return answered;
}

uint32_t TarvikPPComms::numberFor(int listId) {
    const auto bindings = m_bindings.readBindings();
    const int selected = portList(listId)->currentIndex();
    uint32_t number = selected > 0 ? static_cast<uint32_t>(selected) : 0;
    for (uint32_t free = 1; number == 0 && free <= comm::HighestPortNumber; ++free) {
        if (bindings.count(free) == 0) number = free;
    }
    if (number == 0) showProblem("Every COM number is bound already; choose one in the list to bind it anew.");
    return number;
}

bool TarvikPPComms::writeBinding(int listId, uint32_t number, const std::string& target) {
    if (const uint32_t code = m_bindings.bind(number, target); code != ERROR_SUCCESS) {
        showProblem("COM" + std::to_string(number) + " could not be bound in " + comm::portsFolder() + ":\n" +
                    std::to_string(code) + ": " + systemErrorText(code));
        return false;
    }
    const auto bindings = m_bindings.readBindings();
    const QString text = entryText(static_cast<int>(number), bindings);
    for (QComboBox* each : {m_displayPortCombo, m_mergePortCombo}) each->setItemText(static_cast<int>(number), text);
    widenLists();
    portList(listId)->setCurrentIndex(static_cast<int>(number));
    return true;
}

void TarvikPPComms::widenLists() {
    // An open list is as wide as its longest entry, so a device's whole name can be read there.
    for (QComboBox* list : {m_displayPortCombo, m_mergePortCombo}) {
        QAbstractItemView* view = list->view();
        view->setMinimumWidth(view->sizeHintForColumn(0) + view->verticalScrollBar()->sizeHint().width());
    }
}

void TarvikPPComms::showProblem(const std::string& text) {
    m_messageBox.showMessage(text, loadString(StringPropertiesCaption), MB_OK | MB_ICONERROR);
}

}  // namespace tarvik
