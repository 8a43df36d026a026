#include "ui/TarvikDlg.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "input/MouseMath.h"
#include "res/StringTable.h"
#include "ui/DialogTemplate.h"
#include "ui/KeyEventFilter.h"
#include "ui/MessageEvent.h"

namespace tarvik {
namespace {

QPushButton* Button(const QWidget& dialog, int id) { return qobject_cast<QPushButton*>(GetDlgItem(dialog, id)); }

}  // namespace

CTarvikDlg::CTarvikDlg(ISettings& settings, IMessageBox& messageBox, CTarvikModule& module)
    : CTrayDialogBase(settings, messageBox, module),
      m_link(settings, m_displayLine, *this, *this),
      m_keyTranslator(*this) {}

CTarvikDlg::~CTarvikDlg() {
    // The lines' listeners post to this window; they must be gone before it is.
    m_ports.SetCommsEnabled(false);
    m_ports.ClosePorts();
    if (m_pInputThread.joinable()) m_pInputThread.join();
    CloseEvents();
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

    m_fontDisplay = QFont(QStringLiteral("Arial"), 10);
    m_display->setFont(m_fontDisplay);
    m_fontButtons = QFont(QStringLiteral("Arial"), 8);
    for (QPushButton* button : m_btnMacro) button->setFont(m_fontButtons);
    for (QPushButton* button : {m_btnEsc, m_btnShift, m_btnCtrl}) button->setFont(m_fontButtons);

    CreateEvents();
    LoadImages();

    m_dMouseScale = 1.0;
    m_mouseThresholds = {0, 0, 0};
    m_nSystemMouseSpeed = 10;
    m_bSwapButtons = 0;
    m_ports.m_nDisplayPortNumber = 0;
    m_ports.m_nMergePortNumber = 0;
    m_ports.m_nBaudRate = 9600;
    m_bDirectInputReady = 0;
    m_bInputThreadRunning = 0;
    m_bPortsConfigured = 0;

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desktop = screen ? screen->virtualGeometry() : QRect();
    m_nDesktopWidth = desktop.width();
    m_nDesktopHeight = desktop.height();
    m_ptPcCursor = Point{m_nDesktopWidth / 2, m_nDesktopHeight / 2};
    m_ptInstrumentCursor = ScreenToInstrument(m_ptPcCursor, m_nDesktopWidth, m_nDesktopHeight);

    m_nWheelAccumulator = 0;
    m_bMouseActive = 0;
    m_bMouseButton = 0;
    m_bSuppressContextMenu = 0;
    m_bPacketThrottle = 0;
    m_bHelpKey = 0;
    m_nMouseStartPosition = 0;
    m_nMouseSpeed = 50;
    m_ports.SetCommsEnabled(true);

    ConnectButtons();
    InstallKeyFilter();
    return true;
}

void CTarvikDlg::LoadImages() {
    const QIcon helpIcon(QStringLiteral(":/art/icon134_16.png"));
    if (!helpIcon.isNull()) {
        m_btnHelp->setToolTip(m_btnHelp->text());
        m_btnHelp->setText(QString());
        m_btnHelp->setIcon(helpIcon);
        m_btnHelp->setIconSize(QSize(16, 16));
    }
    // The bitmaps fill the button inside its bevel.
    const QSize size = m_btnMouse->size() - QSize(6, 6);
    m_hbmMouseOn = QPixmap(QStringLiteral(":/art/bitmap133.png"));
    m_hbmMouseOff = QPixmap(QStringLiteral(":/art/bitmap132.png"));
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

void CTarvikDlg::CreateEvents() {
    m_hStopEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_hMouseEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_waitHandles = {m_hStopEvent, m_hMouseEvent};
}

void CTarvikDlg::CloseEvents() {
    for (int* fd : {&m_hStopEvent, &m_hMouseEvent}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    m_waitHandles = {-1, -1};
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
    if (!saveAndValidate && m_btnMouse) {
        const QPixmap& image = m_bMouseMode ? m_hbmMouseOn : m_hbmMouseOff;
        if (!image.isNull()) m_btnMouse->setIcon(QIcon(image));
    }
}

void CTarvikDlg::StartUp() {
    RestorePlacement();
    m_nMouseStartPosition = 0;
    if (!m_settings.ReadSettingNumber(HKEY_CURRENT_USER, IDS_MOUSE_POSITION, m_nMouseStartPosition)) {
        m_nMouseStartPosition = 0;
    }
    if (!m_settings.ReadSettingNumber(HKEY_CURRENT_USER, IDS_MOUSE_SPEED, m_nMouseSpeed)) m_nMouseSpeed = 50;
    if (m_bStandAlone) OpenPorts();
    if (!LoadMacros()) SetDefaultMacros();
    if (!InitDirectInput()) ShowAlertId(IDS_DIRECTX_FAILURE);
}

bool CTarvikDlg::InitDirectInput() {
    m_bDirectInputReady = 0;
    return false;
}

bool CTarvikDlg::EnterMouseMode() {
    const QPoint cursor = QCursor::pos();
    m_ptSavedCursor = {cursor.x(), cursor.y()};
    // Capture of the PC mouse is not built yet, so entering fails as it does without capture: the
    // button stays down although mouse mode did not start, and the next click takes it up again.
    ShowAlertId(IDS_DIRECTX_FAILURE);
    return false;
}

void CTarvikDlg::LeaveMouseMode() {
    // Without capture there is no mouse mode to leave.
    if (!m_bDirectInputReady) return;
    m_bEsc = 0;
    m_bShift = 0;
    m_bCtrl = 0;
    m_bMouseMode = 0;
    UpdateData(false);
    m_bMouseActive = 0;
    SendMousePacket();
}

Point CTarvikDlg::InstrumentToScreen(Point instrument) {
    return tarvik::InstrumentToScreen(instrument, m_nDesktopWidth, m_nDesktopHeight);
}

bool CTarvikDlg::LoadMacros() { return tarvik::LoadMacros(m_macros, m_settings, *this); }
bool CTarvikDlg::SaveMacros() { return tarvik::SaveMacros(m_macros, m_settings, *this); }
void CTarvikDlg::SetDefaultMacros() { tarvik::SetDefaultMacros(m_macros, m_settings, *this); }
void CTarvikDlg::SendMacro(int index) { tarvik::SendMacro(m_macros, index, m_ports); }

void CTarvikDlg::SetMacroCaption(int index, const std::string& caption) {
    if (index >= 0 && index < kMacroCount && m_btnMacro[index]) {
        m_btnMacro[index]->setText(QString::fromStdString(caption));
    }
}

bool CTarvikDlg::OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    switch (message) {
        case PortNotifyMessage: OnPortNotification(wParam, lParam); return true;
        case UWM_MOUSEDATA: OnMouseData(); return true;
        case UWM_KEYCODE: OnKeyCode(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)); return true;
        case UWM_SHUTDOWN: OnShutdown(); return true;
        default: return CTrayDialogBase::OnMessage(message, wParam, lParam);
    }
}

void CTarvikDlg::OnContextMenu(const QPoint& screenPos) {
    // A right click that just ended mouse mode must not also open the menu.
    if (m_bSuppressContextMenu) return;
    CTrayDialogBase::OnContextMenu(screenPos);
}

void CTarvikDlg::OnShutdown() {
    m_ports.SetCommsEnabled(false);
    ShowRememberedId(IDS_SHUTDOWN);
    // The text is the last thing the user sees while the lines close; paint it now.
    if (isVisible()) m_display->repaint();
    m_bMouseActive = 0;
    SendMousePacket();
    m_ports.ClosePorts();
    if (m_hStopEvent >= 0) {
        const uint64_t one = 1;
        (void)!::write(m_hStopEvent, &one, sizeof one);
    }
    if (m_pInputThread.joinable()) m_pInputThread.join();
    CloseEvents();
    m_bDirectInputReady = 0;
}

}  // namespace tarvik
