#include "ui/TrayDialogBase.h"

#include <cstdio>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTimer>

#include "res/HelpPages.h"
#include "res/StringTable.h"
#include "ui/AboutDialog.h"
#include "ui/Desktop.h"
#include "ui/DialogTemplate.h"
#include "ui/QtStartup.h"

namespace tarvik {
namespace {

// The title of the window's own message boxes: the executable's name without its extension.
std::string executableTitle() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

}  // namespace

TrayDialogBase::TrayDialogBase(Settings& settings, MessageBox& messageBox, TarvikModule& module,
                               DisplayLine& displayLine)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_settings(settings),
      m_messageBox(messageBox),
      m_module(module),
      m_displayLine(displayLine) {
    m_icon = applicationIcon();
    m_smallIcon.addPixmap(artPixmap(QStringLiteral(":/art/icon131_16.png")));
    setFocusPolicy(Qt::ClickFocus);
}

TrayDialogBase::~TrayDialogBase() = default;

bool TrayDialogBase::createWindow() {
    buildDialog(*this, mainDialogTemplate());
    m_display = qobject_cast<QLineEdit*>(getDlgItem(*this, 1000));
    if (m_display == nullptr) return false;
    // A right click on the display line opens the window's menu, as anywhere else in the window,
    // not the field's own Copy / Select All.
    m_display->setContextMenuPolicy(Qt::NoContextMenu);
    return onInitDialog();
}

bool TrayDialogBase::onInitDialog() {
    // The window menu belongs to the window manager here; its About item lives in the context
    // menu, and the missing maximise box and size frame come from the flags and the fixed size.
    setWindowIcon(m_icon);
    m_float = 1;
    m_rememberPosition = 1;
    m_startMode = 0;
    setFocus(Qt::OtherFocusReason);
    // The end of the desktop session is a close request, and a No keeps the session going.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& session) {
        if (!onSessionEnd([&session] { return session.allowsInteraction(); })) session.cancel();
        session.release();
    });
    addTrayIcon();
    showMainWindow(false);
    return true;
}

void TrayDialogBase::later(std::function<void()> work) {
    // Queued on this window's thread; a call still queued when the window went is dropped.
    QMetaObject::invokeMethod(
        this,
        [this, work = std::move(work)] {
            if (!isDestroyed()) work();
        },
        Qt::QueuedConnection);
}

void TrayDialogBase::requestClose() {
    later([this] { onClose(); });
}

void TrayDialogBase::requestCommand(uint32_t id) {
    later([this, id] {
        if (!contextMenuSuppressed()) onCommand(id);
    });
}

void TrayDialogBase::requestTrayClick(TrayClick click) {
    later([this, click] { onTrayClick(click); });
}

void TrayDialogBase::setDisplayText(const std::string& text) {
    m_display->setText(QString::fromStdString(text));
    m_display->setCursorPosition(0);
}

std::string TrayDialogBase::getDisplayText() const { return m_display->text().toStdString(); }

void TrayDialogBase::restoreWindow() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    activateWindow();
}

void TrayDialogBase::setShowState(ShowState state) {
    m_visible = state == ShowState::Restored;
    if (state == ShowState::Hidden) {
        hide();
        tellHowToBringBack();
    } else {
        restoreWindow();
    }
}

void TrayDialogBase::tellHowToBringBack() {
    // With an icon to click, or for a run that exists for its clients, there is nothing to tell.
    if (m_trayIcon || !m_standAlone || m_hideHintGiven) return;
    m_hideHintGiven = true;
    std::fputs(
        "tarvik: the window is hidden and there is no notification area; run tarvik or tarvikctl show to "
        "bring it back\n",
        stderr);
    std::fflush(stderr);
}

void TrayDialogBase::showMainWindow(bool show) {
    if (show) {
        setShowState(ShowState::Restored);
        raise();
    } else {
        setShowState(ShowState::Hidden);
    }
}

void TrayDialogBase::setFloat(bool on) {
    // Changing a window's flags takes it off the screen; a shown window is put straight back.
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) {
        show();
        raise();
    }
}

void TrayDialogBase::restorePlacement() {
    // The first part missing makes the placement incomplete; the parts after it are not read.
    const std::optional<int32_t> x = m_settings.windowX();
    std::optional<int32_t> y;
    std::optional<int32_t> visible;
    if (x) y = m_settings.windowY();
    if (y) visible = m_settings.windowVisible(1);
    const bool incomplete = !visible;

    m_float = m_settings.floatOnTop(1).value_or(1);
    m_rememberPosition = m_settings.rememberPosition(1).value_or(1);
    m_startMode = m_settings.startMode().value_or(0);
    setFloat(m_float != 0);

    if (m_standAlone && incomplete) {
        setShowState(ShowState::Restored);
        return;
    }

    const QPoint placed =
        bringBackOnScreen(QPoint(x.value_or(0), y.value_or(0)), outerSize(*this), desktopRect(), workAreaRect());
    moveWindowTo(placed.x(), placed.y());

    if (!m_standAlone) setShowState(ShowState::Hidden);
    else if (m_startMode == 0) setShowState(ShowState::Restored);
    else if (m_startMode == 2) setShowState(visible.value_or(1) ? ShowState::Restored : ShowState::Hidden);
    else setShowState(ShowState::Hidden);
}

void TrayDialogBase::moveWindowTo(int x, int y) {
    move(x, y);
    // A hidden window gets its move notification only when shown; the position counts at once.
    if (!isMinimized()) {
        m_posX = x;
        m_posY = y;
    }
}

void TrayDialogBase::saveWindowState() {
    if (m_rememberPosition) {
        m_settings.setWindowX(m_posX);
        m_settings.setWindowY(m_posY);
    }
    m_settings.setWindowVisible(m_visible);
}

void TrayDialogBase::addTrayIcon() {
    // Without a notification area (a bare X server, some desktops) the program runs without the
    // icon; the window stays reachable through its taskbar entry while shown.
    if (m_trayIcon || !QSystemTrayIcon::isSystemTrayAvailable()) return;
    m_trayIcon = std::make_unique<QSystemTrayIcon>(m_smallIcon);
    m_trayIcon->setToolTip(trayTip());
    // Given before the icon is shown, so a desktop that draws the icon itself gets the menu with
    // it; without one such desktops show no menu at all.
    m_trayMenu = buildContextMenu();
    for (QAction* action : m_trayMenu->actions()) {
        if (action->isSeparator()) continue;
        // Queued: the command runs from the event loop once the menu has gone, never inside the
        // call that reported the choice.
        QObject::connect(action, &QAction::triggered, this,
                         [this, id = action->data().toUInt()] { requestCommand(id); });
    }
    QObject::connect(m_trayMenu.get(), &QMenu::aboutToShow, this, [this] {
        for (QAction* action : m_trayMenu->actions()) action->setEnabled(!contextMenuSuppressed());
    });
    m_trayIcon->setContextMenu(m_trayMenu.get());
    QObject::connect(m_trayIcon.get(), &QSystemTrayIcon::activated, this,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger) requestTrayClick(TrayClick::Left);
                         // An embedded icon has opened the tray menu already; a desktop that asks
                         // for a menu instead gets the window's own.
                         else if (reason == QSystemTrayIcon::Context && !m_trayMenu->isVisible())
                             requestTrayClick(TrayClick::Right);
                     });
    m_trayIcon->show();
}

QString TrayDialogBase::trayTip() const {
    std::string tip = loadString(StringProgramName);
    if (!m_statusTip.empty()) tip += "\n" + m_statusTip;
    return QString::fromStdString(tip);
}

void TrayDialogBase::setTrayStatusTip(const std::string& text) {
    m_statusTip = text;
    if (m_display) m_display->setToolTip(QString::fromStdString(text));
    if (m_trayIcon) m_trayIcon->setToolTip(trayTip());
}

void TrayDialogBase::removeTrayIcon() {
    if (m_trayIcon) m_trayIcon->hide();
    m_trayIcon.reset();
    m_trayMenu.reset();
}

void TrayDialogBase::onTrayClick(TrayClick click) {
    if (click == TrayClick::Left) {
        showMainWindow(true);
        activateWindow();
    } else {
        later([this, cursor = QCursor::pos()] { onContextMenu(cursor); });
    }
}

std::unique_ptr<QMenu> TrayDialogBase::buildContextMenu() {
    auto menu = std::make_unique<QMenu>();
    auto add = [&menu](const char* text, uint32_t id) {
        menu->addAction(QString::fromLatin1(text))->setData(static_cast<uint32_t>(id));
    };
    add("Close", CommandMenuClose);
    menu->addSeparator();
    add("Properties", CommandMenuProperties);
    add("Monitor", CommandMenuMonitor);
    menu->addSeparator();
    add("Help", CommandHelp);
    add("About", CommandAboutbox);
    menu->addSeparator();
    add("Exit", CommandMenuExit);
    return menu;
}

void TrayDialogBase::onContextMenu(const QPoint& screenPos) {
    uint32_t command = 0;
    {
        std::unique_ptr<QMenu> menu = buildContextMenu();
        if (QAction* chosen = menu->exec(screenPos)) command = chosen->data().toUInt();
    }
    // The command runs after the menu is gone, as a command message would.
    if (command != 0) onCommand(command);
}

void TrayDialogBase::onCommand(uint32_t id) {
    switch (id) {
        case CommandAboutbox: onAboutBox(); break;
        case CommandMenuProperties: onProperties(); break;
        case CommandMenuMonitor: onMonitor(); break;
        case CommandMenuClose: onCancel(); break;
        case CommandMenuExit: onExit(); break;
        case CommandHelp: requestHelp(MainWindowHelpContext, HELP_CONTEXT); break;
        default: break;
    }
}

void TrayDialogBase::onOk() { showMainWindow(false); }
void TrayDialogBase::onCancel() { showMainWindow(false); }

void TrayDialogBase::onExit() {
    const int32_t clients = m_module.getLockCount();
    if (clients <= 0) {
        exitApplication();
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "Can't Exit: %d Client%c", clients, clients > 1 ? 's' : ' ');
    showText(text);
    showMainWindow(true);
}

void TrayDialogBase::onClose(std::function<void(bool ends)> decided) {
    m_closeWaiters.push_back(std::move(decided));
    const int32_t clients = m_module.getLockCount();
    if (m_closeAsking) {
        // A request made while the question is up gets its answer, unless no client is left to
        // ask about: then the question is closed and Tarvik ends.
        if (clients <= 0) exitApplication();
        return;
    }
    bool ends = true;
    if (clients > 0) {
        char text[96];
        std::snprintf(text, sizeof text, "Warning: %d Client%s connected\nExit Application?", clients,
                      clients > 1 ? "s" : "");
        // An exit from elsewhere while the question is up (a signal) closes it and follows after.
        ModalScope modal(*this);
        m_closeAsking = true;
        ends = m_messageBox.showMessage(text, executableTitle(), MB_YESNO | MB_ICONHAND | MB_DEFBUTTON2) == IDYES;
        m_closeAsking = false;
        ends = ends || m_exitPending;
    }
    for (const auto& waiter : std::exchange(m_closeWaiters, {})) {
        if (waiter) waiter(ends);
    }
    if (!ends || m_exitPending) return;
    m_module.m_closeOnLastUnlock.store(0);
    exitApplication();
}

bool TrayDialogBase::onSessionEnd(const std::function<bool()>& mayAsk) {
    const bool clients = m_module.getLockCount() > 0;
    // Where the session lets nobody be asked, it ends Tarvik as it ends any program.
    if (clients && !mayAsk()) return true;
    // A question already up is the user's to answer; meanwhile the session waits if it must.
    if (m_closeAsking) return !clients;
    bool ends = false;
    onClose([&ends](bool decided) { ends = decided; });
    return ends;
}

void TrayDialogBase::exitApplication() {
    if (m_modalDepth > 0) {
        m_exitPending = true;
        closeModalDialogs();
        return;
    }
    m_exitPending = false;
    onShutdown();
    destroyWindow();
}

void TrayDialogBase::closeModalDialogs() {
    // Innermost first; a dialog that refuses to close ends the loop rather than spinning on it.
    for (QWidget* previous = nullptr; QWidget* modal = QApplication::activeModalWidget(); previous = modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog == nullptr || modal == previous) break;
        dialog->reject();
    }
}

TrayDialogBase::ModalScope::~ModalScope() {
    if (--m_window.m_modalDepth > 0 || !m_window.m_exitPending) return;
    // After the code that held the scope has returned, from the event loop.
    QTimer::singleShot(0, &m_window, [window = &m_window] { window->exitApplication(); });
}

void TrayDialogBase::onAboutBox() {
    ModalScope modal(*this);
    AboutDialog about(moduleFileName(), this);
    about.setWindowIcon(m_icon);
    about.doModal();
}

void TrayDialogBase::destroyWindow() {
    if (isDestroyed()) return;
    m_destroyed = 1;
    saveWindowState();
    removeTrayIcon();
    hide();
    if (m_destroyedHandler) m_destroyedHandler();
    deleteLater();
}

void TrayDialogBase::setHelpHandler(std::function<void(uint32_t, uint32_t)> handler) {
    m_helpHandler = std::move(handler);
}

void TrayDialogBase::setDestroyedHandler(std::function<void()> handler) { m_destroyedHandler = std::move(handler); }

void TrayDialogBase::requestHelp(uint32_t data, uint32_t command) {
    if (m_helpHandler) m_helpHandler(data, command);
}

void TrayDialogBase::closeEvent(QCloseEvent* event) {
    // The title bar's close button and Alt+F4 only hide the window; the program goes on.
    event->ignore();
    showMainWindow(false);
}

void TrayDialogBase::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (!isMinimized()) {
        m_posX = pos().x();
        m_posY = pos().y();
    }
}

void TrayDialogBase::contextMenuEvent(QContextMenuEvent* event) { onContextMenu(event->globalPos()); }

void TrayDialogBase::mousePressEvent(QMouseEvent* event) {
    // Typed keys must keep reaching the keyboard translation after a click on the background.
    setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

}  // namespace tarvik
