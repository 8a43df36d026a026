#pragma once
// The window's outer layer: display line, icons, notification-area icon, context menu, placement,
// float on top, show and hide, and the two ways out (Exit and a close request).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QFont>
#include <QIcon>
#include <QString>
#include <QWidget>

#include "automation/TarvikModule.h"
#include "common/Messages.h"
#include "common/Win32Codes.h"
#include "serial/DisplayLine.h"
#include "settings/MessageBox.h"
#include "settings/Settings.h"

class QLineEdit;
class QMenu;
class QSystemTrayIcon;

namespace tarvik {

// How the window is to be shown.
enum class ShowState { Hidden, Restored };
// Which button clicked the notification-area icon.
enum class TrayClick { Left, Right };

class TrayDialogBase : public QWidget, public CloseTarget {
public:
    // `displayLine` is the session's: the window shows what it says.
    TrayDialogBase(Settings& settings, MessageBox& messageBox, TarvikModule& module, DisplayLine& displayLine);
    ~TrayDialogBase() override;

    // Builds the window from its template and runs the dialog initialisation. The window stays
    // hidden. False when it cannot be initialised.
    bool createWindow();

    // From any thread: each is handled later on the GUI thread, once the caller has returned, and
    // dropped if the window is gone by then. A command is dropped too while no menu may open, as
    // the tray menu that sends it would not have opened.
    void requestClose() override;
    void requestCommand(uint32_t id);
    void requestTrayClick(TrayClick click);

    // The display line.
    void setDisplayText(const std::string& text);
    std::string getDisplayText() const;
    void restoreWindow();
    void showRemembered(const std::string& text) { m_displayLine.showRemembered(text); }
    void showRememberedId(uint32_t id) { m_displayLine.showRememberedId(id); }
    void showText(const std::string& text) { m_displayLine.showText(text); }
    void showAlert(const std::string& text) { m_displayLine.showAlert(text); }
    void showAlertId(uint32_t id) { m_displayLine.showAlertId(id); }
    void showAlertWithPrefix(uint32_t id, const std::string& text) { m_displayLine.showAlertWithPrefix(id, text); }
    void showAlertWithCode(const std::string& text, uint32_t code) { m_displayLine.showAlertWithCode(text, code); }
    void restoreRemembered() { m_displayLine.restoreRemembered(); }
    // What stays visible beside the display line's alerts (the lines' states): the display line's
    // tooltip, and the tray icon's under the program's name.
    void setTrayStatusTip(const std::string& text);

    // Window behaviour.
    void setShowState(ShowState state);
    void showMainWindow(bool show);
    void setFloat(bool on);
    void restorePlacement();
    void saveWindowState();
    void addTrayIcon();
    void removeTrayIcon();
    void exitApplication();
    bool hasTrayIcon() const { return m_trayIcon != nullptr; }

    // Commands of the context menu and the Help button.
    void onCommand(uint32_t id);
    void onOk();
    void onCancel();
    void onExit();
    // A close request (from the automation module, the session's end, a client's Quit): with clients
    // connected the user is asked first. `decided` hears whether Tarvik ends, before its shutdown
    // work. A request made while the question is up shares its answer.
    void onClose(std::function<void(bool ends)> decided = {});
    // The desktop session is ending: a close request, asked only if `mayAsk` (the session's leave
    // to ask the user) allows. False when the user chose to keep Tarvik, which cancels the end.
    bool onSessionEnd(const std::function<bool()>& mayAsk);
    void onTrayClick(TrayClick click);
    virtual void onContextMenu(const QPoint& screenPos);
    std::unique_ptr<QMenu> buildContextMenu();
    virtual void onAboutBox();
    virtual void onProperties() {}
    virtual void onMonitor() {}

    // While set, no context menu opens and the tray menu's commands are dropped.
    virtual bool contextMenuSuppressed() const { return false; }

    // Held while one of the window's modal dialogs runs (the preferences, the About box): an exit
    // asked for meanwhile closes those dialogs and follows once the last scope ends, so the window
    // never goes away under a dialog still running on its behalf.
    class ModalScope {
    public:
        explicit ModalScope(TrayDialogBase& window) : m_window(window) { ++m_window.m_modalDepth; }
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;

    private:
        TrayDialogBase& m_window;
    };

    // Help requests go to the application; the window's end is reported to it.
    void setHelpHandler(std::function<void(uint32_t data, uint32_t command)> handler);
    void setDestroyedHandler(std::function<void()> handler);
    bool isDestroyed() const { return m_destroyed != 0; }

    QLineEdit* m_display = nullptr;
    QIcon m_icon;
    QIcon m_smallIcon;
    int32_t m_posX = 0;
    int32_t m_posY = 0;
    int32_t m_visible = 0;
    int32_t m_float = 0;
    int32_t m_rememberPosition = 0;
    int32_t m_startMode = 0;
    int32_t m_standAlone = 0;
    QFont m_fontDisplay;

protected:
    virtual bool onInitDialog();
    // The dialog's shutdown work, run before the window goes.
    virtual void onShutdown() {}
    void destroyWindow();
    // Runs `work` from the event loop on the GUI thread, unless the window is gone by then.
    void later(std::function<void()> work);
    void requestHelp(uint32_t data, uint32_t command);
    void moveWindowTo(int x, int y);

    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

    Settings& m_settings;
    MessageBox& m_messageBox;
    TarvikModule& m_module;
    DisplayLine& m_displayLine;

private:
    void closeModalDialogs();
    // Once per run: a window hidden with no notification-area icon cannot be clicked back.
    void tellHowToBringBack();
    QString trayTip() const;

    // The tray's own copy of the context menu: desktops that draw the icon themselves show it
    // (exported over D-Bus), and an embedded tray icon opens it on a right click. Declared first
    // so that it outlives the icon that refers to it.
    std::unique_ptr<QMenu> m_trayMenu;
    std::unique_ptr<QSystemTrayIcon> m_trayIcon;
    int m_modalDepth = 0;
    bool m_exitPending = false;
    bool m_closeAsking = false;
    std::vector<std::function<void(bool)>> m_closeWaiters;
    bool m_hideHintGiven = false;
    std::function<void(uint32_t, uint32_t)> m_helpHandler;
    std::function<void()> m_destroyedHandler;
    int32_t m_destroyed = 0;
    std::string m_statusTip;
};

}  // namespace tarvik
