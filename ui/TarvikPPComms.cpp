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

constexpr int kEntries = static_cast<int>(comm::kHighestPortNumber) + 1;  // "OFF", COM1..COM256

const DialogTemplate& CommsTemplate() {
    static const DialogTemplate page{
        108,
        "Com Ports",
        235,
        152,
        "MS Sans Serif",
        8,
        {
            {1008, ControlKind::GroupBox, "Display Port", 7, 7, 221, 66, 0},
            {IDC_DISPLAY_PORT, ControlKind::ComboBox, "", 16, 20, 150, 150, kVScroll | kTabStop},
            {IDC_BIND_DISPLAY, ControlKind::Button, "Bind…", 172, 19, 48, 14, kPushButton | kTabStop},
            {kNoControlId, ControlKind::Static, "The Display Port displays the current instrument in the Tarvik window",
             16, 40, 204, 26, 0},
            {1018, ControlKind::GroupBox, "Merge Port", 7, 78, 221, 66, 0},
            {IDC_MERGE_PORT, ControlKind::ComboBox, "", 16, 91, 150, 150, kVScroll | kTabStop},
            {IDC_BIND_MERGE, ControlKind::Button, "Bind…", 172, 90, 48, 14, kPushButton | kTabStop},
            {kNoControlId, ControlKind::Static,
             "The Merge Port allows the simultaneous use of the original Alphanumeric keyboard.", 16, 111, 204, 26, 0},
        }};
    return page;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

// How a device appears in the chooser: a stable name also says which tty it is now.
QString DeviceLabel(const std::string& device) {
    const QFileInfo info(Text(device));
    if (!info.isSymLink()) return info.filePath();
    return info.filePath() + QStringLiteral(" (") + QFileInfo(info.symLinkTarget()).fileName() + QStringLiteral(")");
}

}  // namespace

CTarvikPPComms::CTarvikPPComms(comm::IPortBindings& bindings, IMessageBox& messageBox)
    : CPropertyPage(CommsTemplate()),
      bindings_(bindings),
      messageBox_(messageBox) {}

QString CTarvikPPComms::EntryText(int index, const std::map<uint32_t, comm::PortBinding>& bindings) {
    if (index == 0) return QStringLiteral("OFF");
    QString text = QStringLiteral("COM%1").arg(index);
    const auto bound = bindings.find(static_cast<uint32_t>(index));
    if (bound != bindings.end()) {
        text += QStringLiteral(" — ") + Text(bound->second.target);
        if (!bound->second.present) text += QStringLiteral(" (missing)");
    }
    return text;
}

void CTarvikPPComms::OnInitDialog() {
    UpdateData(false);
    if (m_cbDisplayPort == nullptr || m_cbMergePort == nullptr) return;
    const auto bindings = bindings_.ReadBindings();
    // The list index is the stored value, so the entries stay in number order.
    for (int i = 0; i < kEntries; ++i) {
        const QString text = EntryText(i, bindings);
        m_cbDisplayPort->insertItem(i, text);
        m_cbMergePort->insertItem(i, text);
    }
    WidenLists();
    // A stored number the lists do not hold leaves its list without a selection, and the number is
    // kept unless the user picks an entry.
    m_cbDisplayPort->setCurrentIndex(m_nDisplayPort >= 0 && m_nDisplayPort < kEntries ? m_nDisplayPort : -1);
    m_cbMergePort->setCurrentIndex(m_nMergePort >= 0 && m_nMergePort < kEntries ? m_nMergePort : -1);
    connect(m_cbDisplayPort, &QComboBox::currentIndexChanged, this, [this](int index) { m_nDisplayPort = index; });
    connect(m_cbMergePort, &QComboBox::currentIndexChanged, this, [this](int index) { m_nMergePort = index; });
    for (int listId : {IDC_DISPLAY_PORT, IDC_MERGE_PORT}) {
        auto* bind = qobject_cast<QPushButton*>(
            GetDlgItem(*this, listId == IDC_DISPLAY_PORT ? IDC_BIND_DISPLAY : IDC_BIND_MERGE));
        if (bind) connect(bind, &QPushButton::clicked, this, [this, listId] { OnBind(listId); });
    }
}

void CTarvikPPComms::DoDataExchange(CDataExchange& dx) {
    dx.Control(IDC_DISPLAY_PORT, m_cbDisplayPort);
    dx.Control(IDC_MERGE_PORT, m_cbMergePort);
}

void CTarvikPPComms::OnBind(int listId) {
    const std::vector<std::string> devices = bindings_.ListDevices();
    QStringList labels;
    for (const std::string& device : devices) labels << DeviceLabel(device);
    const int selected = List(listId)->currentIndex();
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
    if (index >= 0) BindDevice(listId, devices[static_cast<size_t>(index)]);
    else if (net::IsNetworkAddress(typed)) BindAddress(listId, typed);
    else BindDevice(listId, typed);
}

bool CTarvikPPComms::BindDevice(int listId, const std::string& device) {
    QComboBox* list = List(listId);
    if (list == nullptr) return false;
    const uint32_t access = bindings_.CheckDevice(device);
    if (access == ERROR_ACCESS_DENIED) {
        const std::string group = comm::DeviceGroup(device);
        ShowProblem("You may not use " + device + ".\n\nSerial devices belong to the group \"" + group +
                    "\". Add yourself to it, then log out and in again:\n\n    sudo usermod -aG " + group +
                    " $USER\n\nNothing was changed.");
        return false;
    }
    if (access != ERROR_SUCCESS) {
        ShowProblem(device + (access == comm::ERROR_NOT_SUPPORTED ? " is not a serial device." : " is not present.") +
                    "\n\nNothing was changed.");
        return false;
    }
    const uint32_t number = NumberFor(listId);
    return number != 0 && WriteBinding(listId, number, device);
}

bool CTarvikPPComms::BindAddress(int listId, const std::string& text, int timeoutMs) {
    if (List(listId) == nullptr) return false;
    net::NetAddress address;
    std::string problem;
    if (!net::ParseNetAddress(text, address, problem)) {
        ShowProblem(text + " is not an address Tarvik can use: " + problem + ".\n\nNothing was changed.");
        return false;
    }
    const uint32_t number = NumberFor(listId);
    if (number == 0) return false;
    comm::LineError why;
    const bool answered = CheckAddress(address, timeoutMs, why);
    const std::string com = "COM" + std::to_string(number);
    const std::string found =
        answered ? text + " answered: " + address.host + " port " + std::to_string(address.port) +
                       (address.tls ? " took the connection, and its certificate verified." : " took the connection.") +
                       "\n\nBind " + com + " to it?"
                 : text + " did not answer: " + why.reason + ".\n\nBind " + com +
                       " to it anyway? Tarvik tries it each time it opens the ports.";
    const unsigned flags = answered ? MB_YESNO : MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2;
    if (messageBox_.Show(found, LoadString(IDS_PROPERTIES_CAPTION), flags) != IDYES) return false;
    return WriteBinding(listId, number, text);
}

// Connects once as the port manager would, with a local event loop so the window keeps painting,
// and a progress box the user can cancel.
bool CTarvikPPComms::CheckAddress(const net::NetAddress& address, int timeoutMs, comm::LineError& why) {
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
    QProgressDialog progress(QStringLiteral("Connecting to ") + Text(address.text) + QStringLiteral("…"),
                             QStringLiteral("Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
    line.open();
    loop.exec();
    line.close();
    return answered;
}

uint32_t CTarvikPPComms::NumberFor(int listId) {
    const auto bindings = bindings_.ReadBindings();
    const int selected = List(listId)->currentIndex();
    uint32_t number = selected > 0 ? static_cast<uint32_t>(selected) : 0;
    for (uint32_t free = 1; number == 0 && free <= comm::kHighestPortNumber; ++free) {
        if (bindings.count(free) == 0) number = free;
    }
    if (number == 0) ShowProblem("Every COM number is bound already; choose one in the list to bind it anew.");
    return number;
}

bool CTarvikPPComms::WriteBinding(int listId, uint32_t number, const std::string& target) {
    if (const uint32_t code = bindings_.Bind(number, target); code != ERROR_SUCCESS) {
        ShowProblem("COM" + std::to_string(number) + " could not be bound in " + comm::PortsFolder() + ":\n" +
                    std::to_string(code) + ": " + SystemErrorText(code));
        return false;
    }
    const auto bindings = bindings_.ReadBindings();
    const QString text = EntryText(static_cast<int>(number), bindings);
    for (QComboBox* each : {m_cbDisplayPort, m_cbMergePort}) each->setItemText(static_cast<int>(number), text);
    WidenLists();
    List(listId)->setCurrentIndex(static_cast<int>(number));
    return true;
}

void CTarvikPPComms::WidenLists() {
    // An open list is as wide as its longest entry, so a device's whole name can be read there.
    for (QComboBox* list : {m_cbDisplayPort, m_cbMergePort}) {
        QAbstractItemView* view = list->view();
        view->setMinimumWidth(view->sizeHintForColumn(0) + view->verticalScrollBar()->sizeHint().width());
    }
}

void CTarvikPPComms::ShowProblem(const std::string& text) {
    messageBox_.Show(text, LoadString(IDS_PROPERTIES_CAPTION), MB_OK | MB_ICONERROR);
}

}  // namespace tarvik
