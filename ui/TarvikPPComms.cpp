#include "ui/TarvikPPComms.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileInfo>
#include <QInputDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>

#include "common/Win32Codes.h"
#include "platform/comm/PortsFolder.h"
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
    if (devices.empty()) {
        ShowProblem(
            "No serial device was found (/dev/serial/by-id, /dev/ttyUSB*, /dev/ttyACM*).\n"
            "Plug the adapter in and try again.");
        return;
    }
    QStringList labels;
    for (const std::string& device : devices) labels << DeviceLabel(device);
    const int selected = List(listId)->currentIndex();
    const QString number = selected > 0 ? QStringLiteral("COM%1").arg(selected) : QStringLiteral("a free COM number");
    bool chosen = false;
    const QString label = QInputDialog::getItem(this, QStringLiteral("Bind ") + number,
                                                QStringLiteral("Serial device for ") + number + QStringLiteral(":"),
                                                labels, 0, false, &chosen);
    const qsizetype index = labels.indexOf(label);
    if (chosen && index >= 0) BindDevice(listId, devices[static_cast<size_t>(index)]);
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
    auto bindings = bindings_.ReadBindings();
    uint32_t number = list->currentIndex() > 0 ? static_cast<uint32_t>(list->currentIndex()) : 0;
    for (uint32_t free = 1; number == 0 && free <= comm::kHighestPortNumber; ++free) {
        if (bindings.count(free) == 0) number = free;
    }
    if (number == 0) {
        ShowProblem("Every COM number is bound already; choose one in the list to bind it anew.");
        return false;
    }
    if (const uint32_t code = bindings_.Bind(number, device); code != ERROR_SUCCESS) {
        ShowProblem("COM" + std::to_string(number) + " could not be bound in " + comm::PortsFolder() + ":\n" +
                    std::to_string(code) + ": " + SystemErrorText(code));
        return false;
    }
    bindings = bindings_.ReadBindings();
    const QString text = EntryText(static_cast<int>(number), bindings);
    for (QComboBox* each : {m_cbDisplayPort, m_cbMergePort}) each->setItemText(static_cast<int>(number), text);
    WidenLists();
    list->setCurrentIndex(static_cast<int>(number));
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
