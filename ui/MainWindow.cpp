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
#include "ui/QtStartup.h"

namespace tarvik {
namespace {

QPushButton* button(const QWidget& dialog, int id) { return qobject_cast<QPushButton*>(getDlgItem(dialog, id)); }

}  // namespace

MainWindow::MainWindow(Settings& settings, MessageBox& messageBox, TarvikModule& module, InstrumentSession& session)
    : TrayDialogBase(settings, messageBox, module, session.displayLine()),
      m_session(session) {
    connectSession();
}

MainWindow::~MainWindow() {
    // The session outlives its window: nothing of the window may be reached from it any more.
    m_session.setDesktop(nullptr);
    m_session.setWindowRequests({}, {});
}

void MainWindow::connectSession() {
    m_session.setDesktop(&m_desktop);
    m_session.setWindowRequests([this](bool show) { showFromClient(show); },
                                [this](std::function<void(bool)> answered) { closeFromClient(std::move(answered)); });
    connect(&m_session, &InstrumentSession::displayTextChanged, this, [this](const std::string& text) {
        if (m_display) setDisplayText(text);
    });
    connect(&m_session, &InstrumentSession::windowWanted, this, [this] { restoreWindow(); });
    // The text is the last thing the user sees while the lines close; paint it now.
    connect(&m_session, &InstrumentSession::shutdownShown, this, [this] {
        if (isVisible()) m_display->repaint();
    });
    connect(&m_session, &InstrumentSession::controlsChanged, this, [this] { updateData(false); });
    connect(&m_session, &InstrumentSession::mouseModeChanged, this, [this](bool on) { setMouseImage(on); });
    connect(&m_session, &InstrumentSession::macroCaptionChanged, this,
            [this](int index, const std::string& caption) { setMacroCaption(index, caption); });
    connect(&m_session, &InstrumentSession::lineStatusChanged, this,
            [this](const std::string& text) { setTrayStatusTip(text); });
}

void MainWindow::bindControls() {
    m_mouseModeButton = button(*this, ControlMouse);
    m_helpButton = button(*this, ControlHelpButton);
    for (int i = 0; i < MacroCount; ++i) m_macroButton[i] = button(*this, MacroButtonIds[i]);
    m_escButton = button(*this, ControlEsc);
    m_shiftButton = button(*this, ControlShift);
    m_ctrlButton = button(*this, ControlCtrl);
}

bool MainWindow::onInitDialog() {
    bindControls();
    if (!m_mouseModeButton || !m_helpButton || !m_escButton || !m_shiftButton || !m_ctrlButton) return false;
    for (QPushButton* button : m_macroButton) {
        if (!button) return false;
    }
    updateData(false);
    if (!TrayDialogBase::onInitDialog()) return false;

    m_fontDisplay = sansSerifFont("Arial", 10);
    m_display->setFont(m_fontDisplay);
    m_fontButtons = sansSerifFont("Arial", 8);
    for (QPushButton* button : m_macroButton) button->setFont(m_fontButtons);
    for (QPushButton* button : {m_escButton, m_shiftButton, m_ctrlButton}) button->setFont(m_fontButtons);

    loadImages();
    nameControls();

    m_portsConfigured = 0;
    m_session.initialise();
    setTrayStatusTip(m_session.ports().status().text());

    connectButtons();
    installKeyFilter();
    return true;
}

void MainWindow::loadImages() {
    const QIcon helpIcon(artPixmap(QStringLiteral(":/art/icon134_16.png")));
    if (!helpIcon.isNull()) {
        m_helpButton->setToolTip(m_helpButton->text());
        m_helpButton->setText(QString());
        m_helpButton->setIcon(helpIcon);
        m_helpButton->setIconSize(QSize(16, 16));
    }
    // The bitmaps fill the button inside its bevel.
    const QSize size = m_mouseModeButton->size() - QSize(6, 6);
    m_mouseOnPixmap = artPixmap(QStringLiteral(":/art/bitmap133.png"));
    m_mouseOffPixmap = artPixmap(QStringLiteral(":/art/bitmap132.png"));
    if (!m_mouseOnPixmap.isNull())
        m_mouseOnPixmap = m_mouseOnPixmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!m_mouseOffPixmap.isNull()) {
        m_mouseOffPixmap = m_mouseOffPixmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_mouseModeButton->setToolTip(m_mouseModeButton->text());
        m_mouseModeButton->setText(QString());
        m_mouseModeButton->setIcon(QIcon(m_mouseOffPixmap));
        m_mouseModeButton->setIconSize(size);
    }
}

void MainWindow::setMouseImage(bool on) {
    const QPixmap& image = on ? m_mouseOnPixmap : m_mouseOffPixmap;
    if (m_mouseModeButton && !image.isNull()) m_mouseModeButton->setIcon(QIcon(image));
}

void MainWindow::nameControls() {
    // What a screen reader speaks. The picture buttons and the display line have no text of their
    // own, and the short captions read badly aloud; captions and tooltips stay as they are.
    m_display->setAccessibleName(QStringLiteral("Display line"));
    m_escButton->setAccessibleName(QStringLiteral("Escape"));
    m_shiftButton->setAccessibleName(QStringLiteral("Shift"));
    m_ctrlButton->setAccessibleName(QStringLiteral("Control"));
    m_mouseModeButton->setAccessibleName(QStringLiteral("Mouse mode"));
    m_helpButton->setAccessibleName(QStringLiteral("Help"));
}

void MainWindow::connectButtons() {
    for (int i = 0; i < MacroCount; ++i) {
        QObject::connect(m_macroButton[i], &QPushButton::clicked, this, [this, i] { m_session.sendMacro(i); });
    }
    QObject::connect(m_escButton, &QPushButton::clicked, this, [this] {
        updateData(true);
        m_session.pressEsc();
    });
    for (QPushButton* modifier : {m_shiftButton, m_ctrlButton}) {
        QObject::connect(modifier, &QPushButton::clicked, this, [this] {
            updateData(true);
            m_session.sendMousePacket();
        });
    }
    QObject::connect(m_mouseModeButton, &QPushButton::clicked, this, [this] {
        updateData(true);
        if (m_session.mouseState().m_mouseMode) m_session.enterMouseMode();
        else m_session.leaveMouseMode();
    });
    QObject::connect(m_helpButton, &QPushButton::clicked, this, [this] { onCommand(CommandHelp); });
}

void MainWindow::updateData(bool saveAndValidate) {
    MouseState& mouse = m_session.mouseState();
    const std::array<std::pair<QPushButton*, int32_t*>, 4> bound{{{m_escButton, &mouse.m_esc},
                                                                  {m_shiftButton, &mouse.m_shift},
                                                                  {m_ctrlButton, &mouse.m_ctrl},
                                                                  {m_mouseModeButton, &mouse.m_mouseMode}}};
    for (const auto& [button, state] : bound) {
        if (button == nullptr) continue;
        if (saveAndValidate) {
            *state = button->isChecked() ? 1 : 0;
        } else {
            button->setChecked(*state != 0);
        }
    }
}

void MainWindow::showFromClient(bool show) {
    if (show) onTrayClick(TrayClick::Left);
    else onCancel();
}

void MainWindow::closeFromClient(std::function<void(bool)> answered) {
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [window = QPointer<MainWindow>(this), answered = std::move(answered)] {
                           // A window already gone or going was ending anyway.
                           if (window && !window->isDestroyed()) window->onClose(answered);
                           else answered(true);
                       });
}

void MainWindow::startUp() {
    restorePlacement();
    m_session.readMouseSettings();
    if (m_standAlone) m_session.openPorts();
    if (!m_session.loadMacros()) m_session.setDefaultMacros();
    if (!initDirectInput()) showAlertId(StringDirectxFailure);
}

void MainWindow::setMacroCaption(int index, const std::string& caption) {
    if (index >= 0 && index < MacroCount && m_macroButton[index]) {
        const QString text = QString::fromStdString(caption);
        m_macroButton[index]->setText(text);
        // A button with no caption is still named for a screen reader; one with a caption is
        // named by it.
        m_macroButton[index]->setAccessibleName(text.trimmed().isEmpty() ? QStringLiteral("Macro %1").arg(index + 1)
                                                                         : QString());
    }
}

void MainWindow::onContextMenu(const QPoint& screenPos) {
    // A right click that just ended mouse mode must not also open the menu.
    if (m_session.contextMenuSuppressed()) return;
    TrayDialogBase::onContextMenu(screenPos);
}

void MainWindow::onShutdown() { m_session.shutdown(); }

}  // namespace tarvik
