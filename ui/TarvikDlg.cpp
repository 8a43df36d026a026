#include "ui/TarvikDlg.h"

#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "res/StringTable.h"
#include "ui/DialogTemplate.h"
#include "ui/KeyEventFilter.h"
#include "ui/MessageEvent.h"
#include "ui/QtStartup.h"

namespace tarvik {
namespace {

QPushButton* Button(const QWidget& dialog, int id) { return qobject_cast<QPushButton*>(GetDlgItem(dialog, id)); }

}  // namespace

CTarvikDlg::CTarvikDlg(ISettings& settings, IMessageBox& messageBox, CTarvikModule& module)
    : CTrayDialogBase(settings, messageBox, module),
      m_link(settings, m_displayLine, *this),
      m_keyTranslator(*this) {}

CTarvikDlg::~CTarvikDlg() {
    // The lines report to this window; they must be gone before it is.
    m_ports.setCommsEnabled(false);
    m_ports.closePorts();
}

void CTarvikDlg::BindControls() {
    m_btnMouse = Button(*this, IDC_MOUSE);
    m_btnHelp = Button(*this, IDC_HELP_BUTTON);
    for (int i = 0; i < kMacroCount; ++i) m_btnMacro[i] = Button(*this, kMacroButtonIds[i]);
    m_btnEsc = Button(*this, IDC_ESC);
    m_btnShift = Button(*this, IDC_SHIFT);
    m_btnCtrl = Button(*this, IDC_CTRL);
}

bool CTarvikDlg::OnInitDialog() {
    BindControls();
    if (!m_btnMouse || !m_btnHelp || !m_btnEsc || !m_btnShift || !m_btnCtrl) return false;
    for (QPushButton* button : m_btnMacro) {
        if (!button) return false;
    }
    UpdateData(false);
    if (!CTrayDialogBase::OnInitDialog()) return false;

    m_fontDisplay = SansSerifFont("Arial", 10);
    m_display->setFont(m_fontDisplay);
    m_fontButtons = SansSerifFont("Arial", 8);
    for (QPushButton* button : m_btnMacro) button->setFont(m_fontButtons);
    for (QPushButton* button : {m_btnEsc, m_btnShift, m_btnCtrl}) button->setFont(m_fontButtons);

    LoadImages();
    NameControls();

    m_bPortsConfigured = 0;
    // Both cursors start at the desktop's centre.
    m_mouse.Initialise();
    m_bMouseActive = 0;
    m_bMouseButton = 0;
    m_bHelpKey = 0;
    m_ports.setCommsEnabled(true);
    m_ports.status().SetObserver([this] { SetStatusTip(m_ports.status().Text()); });
    SetStatusTip(m_ports.status().Text());

    ConnectButtons();
    InstallKeyFilter();
    return true;
}

void CTarvikDlg::LoadImages() {
    const QIcon helpIcon(ArtPixmap(QStringLiteral(":/art/icon134_16.png")));
    if (!helpIcon.isNull()) {
        m_btnHelp->setToolTip(m_btnHelp->text());
        m_btnHelp->setText(QString());
        m_btnHelp->setIcon(helpIcon);
        m_btnHelp->setIconSize(QSize(16, 16));
    }
    // The bitmaps fill the button inside its bevel.
    const QSize size = m_btnMouse->size() - QSize(6, 6);
    m_hbmMouseOn = ArtPixmap(QStringLiteral(":/art/bitmap133.png"));
    m_hbmMouseOff = ArtPixmap(QStringLiteral(":/art/bitmap132.png"));
    if (!m_hbmMouseOn.isNull())
        m_hbmMouseOn = m_hbmMouseOn.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!m_hbmMouseOff.isNull()) {
        m_hbmMouseOff = m_hbmMouseOff.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_btnMouse->setToolTip(m_btnMouse->text());
        m_btnMouse->setText(QString());
        m_btnMouse->setIcon(QIcon(m_hbmMouseOff));
        m_btnMouse->setIconSize(size);
    }
}

void CTarvikDlg::NameControls() {
    // What a screen reader speaks. The picture buttons and the display line have no text of their
    // own, and the short captions read badly aloud; captions and tooltips stay as they are.
    m_display->setAccessibleName(QStringLiteral("Display line"));
    m_btnEsc->setAccessibleName(QStringLiteral("Escape"));
    m_btnShift->setAccessibleName(QStringLiteral("Shift"));
    m_btnCtrl->setAccessibleName(QStringLiteral("Control"));
    m_btnMouse->setAccessibleName(QStringLiteral("Mouse mode"));
    m_btnHelp->setAccessibleName(QStringLiteral("Help"));
}

void CTarvikDlg::ConnectButtons() {
    for (int i = 0; i < kMacroCount; ++i) {
        QObject::connect(m_btnMacro[i], &QPushButton::clicked, this, [this, i] { SendMacro(i); });
    }
    QObject::connect(m_btnEsc, &QPushButton::clicked, this, [this] {
        UpdateData(true);
        if (m_bEsc) {
            m_ports.SendByteToPorts(0x1B);
            m_bEsc = 0;
            UpdateData(false);
        }
    });
    for (QPushButton* modifier : {m_btnShift, m_btnCtrl}) {
        QObject::connect(modifier, &QPushButton::clicked, this, [this] {
            UpdateData(true);
            SendMousePacket();
        });
    }
    QObject::connect(m_btnMouse, &QPushButton::clicked, this, [this] {
        UpdateData(true);
        if (m_bMouseMode) EnterMouseMode();
        else LeaveMouseMode();
    });
    QObject::connect(m_btnHelp, &QPushButton::clicked, this, [this] { OnCommand(ID_HELP); });
}

void CTarvikDlg::UpdateData(bool saveAndValidate) {
    const std::array<std::pair<QPushButton*, Bool32*>, 4> bound{
        {{m_btnEsc, &m_bEsc}, {m_btnShift, &m_bShift}, {m_btnCtrl, &m_bCtrl}, {m_btnMouse, &m_bMouseMode}}};
    for (const auto& [button, state] : bound) {
        if (button == nullptr) continue;
        if (saveAndValidate) {
            *state = button->isChecked() ? 1 : 0;
        } else {
            button->setChecked(*state != 0);
        }
    }
}

void CTarvikDlg::ShowFromClient(bool show) {
    if (show) OnTrayNotify(WM_LBUTTONDOWN);
    else OnCancel();
}

void CTarvikDlg::CloseFromClient(std::function<void(bool)> answered) {
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [window = QPointer<CTarvikDlg>(this), answered = std::move(answered)] {
                           // A window already gone or going was ending anyway.
                           if (window && !window->IsDestroyed()) window->OnClose(answered);
                           else answered(true);
                       });
}

void CTarvikDlg::StartUp() {
    RestorePlacement();
    m_mouse.m_nMouseStartPosition = m_settings.mouseStartPosition(m_mouse.m_nMouseStartPosition).value_or(0);
    m_mouse.m_nMouseSpeed = m_settings.mouseSpeed(m_mouse.m_nMouseSpeed).value_or(50);
    if (m_bStandAlone) OpenPorts();
    if (!LoadMacros()) SetDefaultMacros();
    if (!InitDirectInput()) ShowAlertId(IDS_DIRECTX_FAILURE);
}

bool CTarvikDlg::LoadMacros() { return tarvik::LoadMacros(m_macros, m_settings, *this); }
bool CTarvikDlg::SaveMacros() { return tarvik::SaveMacros(m_macros, m_settings, *this); }
void CTarvikDlg::SetDefaultMacros() { tarvik::SetDefaultMacros(m_macros, m_settings, *this); }
void CTarvikDlg::SendMacro(int index) { tarvik::SendMacro(m_macros, index, m_ports); }

void CTarvikDlg::SetMacroCaption(int index, const std::string& caption) {
    if (index >= 0 && index < kMacroCount && m_btnMacro[index]) {
        const QString text = QString::fromStdString(caption);
        m_btnMacro[index]->setText(text);
        // A button with no caption is still named for a screen reader; one with a caption is
        // named by it.
        m_btnMacro[index]->setAccessibleName(text.trimmed().isEmpty() ? QStringLiteral("Macro %1").arg(index + 1)
                                                                      : QString());
    }
}

bool CTarvikDlg::OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    switch (message) {
        case UWM_KEYCODE: OnKeyCode(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)); return true;
        case UWM_SHUTDOWN: OnShutdown(); return true;
        default: return CTrayDialogBase::OnMessage(message, wParam, lParam);
    }
}

void CTarvikDlg::OnContextMenu(const QPoint& screenPos) {
    // A right click that just ended mouse mode must not also open the menu.
    if (m_mouse.m_bSuppressContextMenu) return;
    CTrayDialogBase::OnContextMenu(screenPos);
}

void CTarvikDlg::OnShutdown() {
    m_ports.setCommsEnabled(false);
    ShowRememberedId(IDS_SHUTDOWN);
    // The text is the last thing the user sees while the lines close; paint it now.
    if (isVisible()) m_display->repaint();
    m_mouse.UnacquireDevice();
    m_bMouseActive = 0;
    SendMousePacket();
    m_ports.closePorts();
    m_mouse.ReleaseDevice();
}

}  // namespace tarvik
