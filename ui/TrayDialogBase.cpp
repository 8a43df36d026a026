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
#include "ui/MessageEvent.h"
#include "ui/QtStartup.h"

namespace tarvik {
namespace {

// The title of the window's own message boxes: the executable's name without its extension.
std::string ExecutableTitle() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

}  // namespace

CTrayDialogBase::CTrayDialogBase(ISettings& settings, IMessageBox& messageBox, CTarvikModule& module,
                                 CDisplayLine& displayLine)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_settings(settings),
      m_messageBox(messageBox),
      m_module(module),
      m_displayLine(displayLine) {
    m_hIcon = ApplicationIcon();
    m_hSmallIcon.addPixmap(ArtPixmap(QStringLiteral(":/art/icon131_16.png")));
    setFocusPolicy(Qt::ClickFocus);
}

CTrayDialogBase::~CTrayDialogBase() = default;

bool CTrayDialogBase::Create() {
    BuildDialog(*this, MainDialogTemplate());
    m_display = qobject_cast<QLineEdit*>(GetDlgItem(*this, 1000));
    if (m_display == nullptr) return false;
    // A right click on the display line opens the window's menu, as anywhere else in the window,
    // not the field's own Copy / Select All.
    m_display->setContextMenuPolicy(Qt::NoContextMenu);
    return OnInitDialog();
}

bool CTrayDialogBase::OnInitDialog() {
    // The window menu belongs to the window manager here; its About item lives in the context
    // menu, and the missing maximise box and size frame come from the flags and the fixed size.
    setWindowIcon(m_hIcon);
    m_bFloat = 1;
    m_bRememberPosition = 1;
    m_nStartMode = 0;
    setFocus(Qt::OtherFocusReason);
    // The end of the desktop session is a close request, and a No keeps the session going.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& session) {
        if (!OnSessionEnd([&session] { return session.allowsInteraction(); })) session.cancel();
        session.release();
    });
    AddTrayIcon();
    ShowMainWindow(false);
    return true;
}

void CTrayDialogBase::Post(uint32_t message, uint64_t wParam, int64_t lParam) {
    QCoreApplication::postEvent(this, new CMessageEvent(message, wParam, lParam));
}

bool CTrayDialogBase::SendMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    return OnMessage(message, wParam, lParam);
}

bool CTrayDialogBase::event(QEvent* event) {
    if (event->type() == CMessageEvent::EventType()) {
        const auto& message = static_cast<const CMessageEvent&>(*event);
        // Messages still queued when the window went are dropped, as the system drops messages
        // for a destroyed window.
        if (!IsDestroyed()) OnMessage(message.Message(), message.WParam(), message.LParam());
        return true;
    }
    return QWidget::event(event);
}

bool CTrayDialogBase::OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    switch (message) {
        case WM_CLOSE: OnClose(); return true;
        case UWM_TRAYNOTIFY: OnTrayNotify(lParam); return true;
        case WM_CONTEXTMENU: OnContextMenu(QPoint(PointX(lParam), PointY(lParam))); return true;
        case WM_COMMAND:
            // Only the tray menu posts commands; they are dropped while no menu may open, as that
            // menu itself would not have opened.
            if (!ContextMenuSuppressed()) OnCommand(static_cast<uint32_t>(wParam));
            return true;
        default: return false;
    }
}

void CTrayDialogBase::SetDisplayText(const std::string& text) {
    m_display->setText(QString::fromStdString(text));
    m_display->setCursorPosition(0);
}

std::string CTrayDialogBase::GetDisplayText() const { return m_display->text().toStdString(); }

void CTrayDialogBase::RestoreWindow() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    activateWindow();
}

void CTrayDialogBase::SetShowState(int showCommand) {
    m_bVisible = showCommand != SW_HIDE;
    if (showCommand == SW_HIDE) {
        hide();
        TellHowToBringBack();
    } else {
        RestoreWindow();
    }
}

void CTrayDialogBase::TellHowToBringBack() {
    // With an icon to click, or for a run that exists for its clients, there is nothing to tell.
    if (m_trayIcon || !m_bStandAlone || hideHintGiven_) return;
    hideHintGiven_ = true;
    std::fputs(
        "tarvik: the window is hidden and there is no notification area; run tarvik or tarvikctl show to "
        "bring it back\n",
        stderr);
    std::fflush(stderr);
}

void CTrayDialogBase::ShowMainWindow(bool show) {
    if (show) {
        SetShowState(SW_RESTORE);
        raise();
    } else {
        SetShowState(SW_HIDE);
    }
}

void CTrayDialogBase::SetFloat(bool on) {
    // Changing a window's flags takes it off the screen; a shown window is put straight back.
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) {
        show();
        raise();
    }
}

void CTrayDialogBase::RestorePlacement() {
    // The first part missing makes the placement incomplete; the parts after it are not read.
    const std::optional<int32_t> x = m_settings.windowX();
    std::optional<int32_t> y;
    std::optional<int32_t> visible;
    if (x) y = m_settings.windowY();
    if (y) visible = m_settings.windowVisible(1);
    const bool incomplete = !visible;

    m_bFloat = m_settings.floatOnTop(1).value_or(1);
    m_bRememberPosition = m_settings.rememberPosition(1).value_or(1);
    m_nStartMode = m_settings.startMode().value_or(0);
    SetFloat(m_bFloat != 0);

    if (m_bStandAlone && incomplete) {
        SetShowState(SW_RESTORE);
        return;
    }

    const QPoint placed =
        BringBackOnScreen(QPoint(x.value_or(0), y.value_or(0)), OuterSize(*this), DesktopRect(), WorkAreaRect());
    MoveWindowTo(placed.x(), placed.y());

    if (!m_bStandAlone) SetShowState(SW_HIDE);
    else if (m_nStartMode == 0) SetShowState(SW_RESTORE);
    else if (m_nStartMode == 2) SetShowState(visible.value_or(1) ? SW_RESTORE : SW_HIDE);
    else SetShowState(SW_HIDE);
}

void CTrayDialogBase::MoveWindowTo(int x, int y) {
    move(x, y);
    // A hidden window gets its move notification only when shown; the position counts at once.
    if (!isMinimized()) {
        m_nPosX = x;
        m_nPosY = y;
    }
}

void CTrayDialogBase::SaveWindowState() {
    if (m_bRememberPosition) {
        m_settings.setWindowX(m_nPosX);
        m_settings.setWindowY(m_nPosY);
    }
    m_settings.setWindowVisible(m_bVisible);
}

void CTrayDialogBase::AddTrayIcon() {
    // Without a notification area (a bare X server, some desktops) the program runs without the
    // icon; the window stays reachable through its taskbar entry while shown.
    if (m_trayIcon || !QSystemTrayIcon::isSystemTrayAvailable()) return;
    m_trayIcon = std::make_unique<QSystemTrayIcon>(m_hSmallIcon);
    m_trayIcon->setToolTip(TrayTip());
    // Given before the icon is shown, so a desktop that draws the icon itself gets the menu with
    // it; without one such desktops show no menu at all.
    trayMenu_ = BuildContextMenu();
    for (QAction* action : trayMenu_->actions()) {
        if (action->isSeparator()) continue;
        // Posted: the command runs from the event loop once the menu has gone, never inside the
        // call that reported the choice.
        QObject::connect(action, &QAction::triggered, this,
                         [this, id = action->data().toUInt()] { Post(WM_COMMAND, id, 0); });
    }
    QObject::connect(trayMenu_.get(), &QMenu::aboutToShow, this, [this] {
        for (QAction* action : trayMenu_->actions()) action->setEnabled(!ContextMenuSuppressed());
    });
    m_trayIcon->setContextMenu(trayMenu_.get());
    QObject::connect(m_trayIcon.get(), &QSystemTrayIcon::activated, this,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger) Post(UWM_TRAYNOTIFY, 1, WM_LBUTTONDOWN);
                         // An embedded icon has opened the tray menu already; a desktop that asks
                         // for a menu instead gets the window's own.
                         else if (reason == QSystemTrayIcon::Context && !trayMenu_->isVisible())
                             Post(UWM_TRAYNOTIFY, 1, WM_RBUTTONDOWN);
                     });
    m_trayIcon->show();
}

QString CTrayDialogBase::TrayTip() const {
    std::string tip = LoadString(IDS_PROGRAM_NAME);
    if (!statusTip_.empty()) tip += "\n" + statusTip_;
    return QString::fromStdString(tip);
}

void CTrayDialogBase::SetStatusTip(const std::string& text) {
    statusTip_ = text;
    if (m_display) m_display->setToolTip(QString::fromStdString(text));
    if (m_trayIcon) m_trayIcon->setToolTip(TrayTip());
}

void CTrayDialogBase::RemoveTrayIcon() {
    if (m_trayIcon) m_trayIcon->hide();
    m_trayIcon.reset();
    trayMenu_.reset();
}

void CTrayDialogBase::OnTrayNotify(int64_t mouseMessage) {
    if (mouseMessage == WM_LBUTTONDOWN) {
        ShowMainWindow(true);
        activateWindow();
    } else if (mouseMessage == WM_RBUTTONDOWN) {
        const QPoint cursor = QCursor::pos();
        Post(WM_CONTEXTMENU, 0, PackPoint(cursor.x(), cursor.y()));
    }
}

std::unique_ptr<QMenu> CTrayDialogBase::BuildContextMenu() {
    auto menu = std::make_unique<QMenu>();
    auto add = [&menu](const char* text, uint32_t id) {
        menu->addAction(QString::fromLatin1(text))->setData(static_cast<uint32_t>(id));
    };
    add("Close", ID_MENU_CLOSE);
    menu->addSeparator();
    add("Properties", ID_MENU_PROPERTIES);
    add("Monitor", ID_MENU_MONITOR);
    menu->addSeparator();
    add("Help", ID_HELP);
    add("About", IDM_ABOUTBOX);
    menu->addSeparator();
    add("Exit", ID_MENU_EXIT);
    return menu;
}

void CTrayDialogBase::OnContextMenu(const QPoint& screenPos) {
    uint32_t command = 0;
    {
        std::unique_ptr<QMenu> menu = BuildContextMenu();
        if (QAction* chosen = menu->exec(screenPos)) command = chosen->data().toUInt();
    }
    // The command runs after the menu is gone, as a command message would.
    if (command != 0) OnCommand(command);
}

void CTrayDialogBase::OnCommand(uint32_t id) {
    switch (id) {
        case IDM_ABOUTBOX: OnAboutBox(); break;
        case ID_MENU_PROPERTIES: OnProperties(); break;
        case ID_MENU_MONITOR: OnMonitor(); break;
        case ID_MENU_CLOSE: OnCancel(); break;
        case ID_MENU_EXIT: OnExit(); break;
        case ID_HELP: RequestHelp(kMainWindowHelpContext, HELP_CONTEXT); break;
        default: break;
    }
}

void CTrayDialogBase::OnOK() { ShowMainWindow(false); }
void CTrayDialogBase::OnCancel() { ShowMainWindow(false); }

void CTrayDialogBase::OnExit() {
    const int32_t clients = m_module.GetLockCount();
    if (clients <= 0) {
        ExitApplication();
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "Can't Exit: %d Client%c", clients, clients > 1 ? 's' : ' ');
    ShowText(text);
    ShowMainWindow(true);
}

void CTrayDialogBase::OnClose(std::function<void(bool ends)> decided) {
    closeWaiters_.push_back(std::move(decided));
    const int32_t clients = m_module.GetLockCount();
    if (closeAsking_) {
        // A request made while the question is up gets its answer, unless no client is left to
        // ask about: then the question is closed and Tarvik ends.
        if (clients <= 0) ExitApplication();
        return;
    }
    bool ends = true;
    if (clients > 0) {
        char text[96];
        std::snprintf(text, sizeof text, "Warning: %d Client%s connected\nExit Application?", clients,
                      clients > 1 ? "s" : "");
        // An exit from elsewhere while the question is up (a signal) closes it and follows after.
        CModalScope modal(*this);
        closeAsking_ = true;
        ends = m_messageBox.Show(text, ExecutableTitle(), MB_YESNO | MB_ICONHAND | MB_DEFBUTTON2) == IDYES;
        closeAsking_ = false;
        ends = ends || exitPending_;
    }
    for (const auto& waiter : std::exchange(closeWaiters_, {})) {
        if (waiter) waiter(ends);
    }
    if (!ends || exitPending_) return;
    m_module.m_bCloseOnLastUnlock.store(0);
    ExitApplication();
}

bool CTrayDialogBase::OnSessionEnd(const std::function<bool()>& mayAsk) {
    const bool clients = m_module.GetLockCount() > 0;
    // Where the session lets nobody be asked, it ends Tarvik as it ends any program.
    if (clients && !mayAsk()) return true;
    // A question already up is the user's to answer; meanwhile the session waits if it must.
    if (closeAsking_) return !clients;
    bool ends = false;
    OnClose([&ends](bool decided) { ends = decided; });
    return ends;
}

void CTrayDialogBase::ExitApplication() {
    if (modalDepth_ > 0) {
        exitPending_ = true;
        CloseModalDialogs();
        return;
    }
    exitPending_ = false;
    SendMessage(UWM_SHUTDOWN, 0, 0);
    DestroyWindow();
}

void CTrayDialogBase::CloseModalDialogs() {
    // Innermost first; a dialog that refuses to close ends the loop rather than spinning on it.
    for (QWidget* previous = nullptr; QWidget* modal = QApplication::activeModalWidget(); previous = modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog == nullptr || modal == previous) break;
        dialog->reject();
    }
}

CTrayDialogBase::CModalScope::~CModalScope() {
    if (--window_.modalDepth_ > 0 || !window_.exitPending_) return;
    // After the code that held the scope has returned, from the event loop.
    QTimer::singleShot(0, &window_, [window = &window_] { window->ExitApplication(); });
}

void CTrayDialogBase::OnAboutBox() {
    CModalScope modal(*this);
    CAboutDialog about(ModuleFileName(), this);
    about.setWindowIcon(m_hIcon);
    about.DoModal();
}

void CTrayDialogBase::DestroyWindow() {
    if (IsDestroyed()) return;
    m_bDestroyed = 1;
    SaveWindowState();
    RemoveTrayIcon();
    hide();
    if (m_destroyedHandler) m_destroyedHandler();
    deleteLater();
}

void CTrayDialogBase::SetHelpHandler(std::function<void(uint32_t, uint32_t)> handler) {
    m_helpHandler = std::move(handler);
}

void CTrayDialogBase::SetDestroyedHandler(std::function<void()> handler) { m_destroyedHandler = std::move(handler); }

void CTrayDialogBase::RequestHelp(uint32_t data, uint32_t command) {
    if (m_helpHandler) m_helpHandler(data, command);
}

void CTrayDialogBase::closeEvent(QCloseEvent* event) {
    // The title bar's close button and Alt+F4 only hide the window; the program goes on.
    event->ignore();
    ShowMainWindow(false);
}

void CTrayDialogBase::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (!isMinimized()) {
        m_nPosX = pos().x();
        m_nPosY = pos().y();
    }
}

void CTrayDialogBase::contextMenuEvent(QContextMenuEvent* event) { OnContextMenu(event->globalPos()); }

void CTrayDialogBase::mousePressEvent(QMouseEvent* event) {
    // Typed keys must keep reaching the keyboard translation after a click on the background.
    setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

}  // namespace tarvik
