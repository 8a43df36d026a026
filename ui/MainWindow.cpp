#include "ui/MainWindow.h"

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

CTarvikDlg::CTarvikDlg(ISettings& settings, IMessageBox& messageBox, CTarvikModule& module, InstrumentSession& session)
    : CTrayDialogBase(settings, messageBox, module, session.displayLine()),
      m_session(session) {
    ConnectSession();
}

CTarvikDlg::~CTarvikDlg() {
    // The session outlives its window: nothing of the window may be reached from it any more.
    m_session.setDesktop(nullptr);
    m_session.setWindowRequests({}, {});
}

void CTarvikDlg::ConnectSession() {
    m_session.setDesktop(&m_desktop);
    m_session.setWindowRequests([this](bool show) { ShowFromClient(show); },
                                [this](std::function<void(bool)> answered) { CloseFromClient(std::move(answered)); });
    connect(&m_session, &InstrumentSession::displayTextChanged, this, [this](const std::string& text) {
        if (m_display) SetDisplayText(text);
    });
    connect(&m_session, &InstrumentSession::windowWanted, this, [this] { RestoreWindow(); });
    // The text is the last thing the user sees while the lines close; paint it now.
    connect(&m_session, &InstrumentSession::shutdownShown, this, [this] {
        if (isVisible()) m_display->repaint();
    });
    connect(&m_session, &InstrumentSession::controlsChanged, this, [this] { UpdateData(false); });
    connect(&m_session, &InstrumentSession::mouseModeChanged, this, [this](bool on) { SetMouseImage(on); });
    connect(&m_session, &InstrumentSession::macroCaptionChanged, this,
            [this](int index, const std::string& caption) { SetMacroCaption(index, caption); });
    connect(&m_session, &InstrumentSession::lineStatusChanged, this,
            [this](const std::string& text) { SetStatusTip(text); });
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
    m_session.initialise();
    SetStatusTip(m_session.ports().status().Text());

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

void CTarvikDlg::SetMouseImage(bool on) {
    const QPixmap& image = on ? m_hbmMouseOn : m_hbmMouseOff;
    if (m_btnMouse && !image.isNull()) m_btnMouse->setIcon(QIcon(image));
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
        QObject::connect(m_btnMacro[i], &QPushButton::clicked, this, [this, i] { m_session.sendMacro(i); });
    }
    QObject::connect(m_btnEsc, &QPushButton::clicked, this, [this] {
        UpdateData(true);
        m_session.pressEsc();
    });
    for (QPushButton* modifier : {m_btnShift, m_btnCtrl}) {
        QObject::connect(modifier, &QPushButton::clicked, this, [this] {
            UpdateData(true);
            m_session.sendMousePacket();
        });
    }
    QObject::connect(m_btnMouse, &QPushButton::clicked, this, [this] {
        UpdateData(true);
        if (m_session.mouseState().m_bMouseMode) m_session.enterMouseMode();
        else m_session.leaveMouseMode();
    });
    QObject::connect(m_btnHelp, &QPushButton::clicked, this, [this] { OnCommand(ID_HELP); });
}

void CTarvikDlg::UpdateData(bool saveAndValidate) {
    MouseState& mouse = m_session.mouseState();
    const std::array<std::pair<QPushButton*, Bool32*>, 4> bound{{{m_btnEsc, &mouse.m_bEsc},
                                                                 {m_btnShift, &mouse.m_bShift},
                                                                 {m_btnCtrl, &mouse.m_bCtrl},
                                                                 {m_btnMouse, &mouse.m_bMouseMode}}};
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
    m_session.readMouseSettings();
    if (m_bStandAlone) m_session.openPorts();
    if (!m_session.loadMacros()) m_session.setDefaultMacros();
    if (!InitDirectInput()) ShowAlertId(IDS_DIRECTX_FAILURE);
}

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
        case UWM_KEYCODE: m_session.keyCode(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)); return true;
        case UWM_SHUTDOWN: OnShutdown(); return true;
        default: return CTrayDialogBase::OnMessage(message, wParam, lParam);
    }
}

void CTarvikDlg::OnContextMenu(const QPoint& screenPos) {
    // A right click that just ended mouse mode must not also open the menu.
    if (m_session.contextMenuSuppressed()) return;
    CTrayDialogBase::OnContextMenu(screenPos);
}

void CTarvikDlg::OnShutdown() { m_session.shutdown(); }

}  // namespace tarvik
