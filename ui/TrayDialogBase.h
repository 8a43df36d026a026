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

class CTrayDialogBase : public QWidget, public IMessagePoster {
public:
    // `displayLine` is the session's: the window shows what it says.
    CTrayDialogBase(ISettings& settings, IMessageBox& messageBox, CTarvikModule& module, CDisplayLine& displayLine);
    ~CTrayDialogBase() override;

    // Builds the window from its template and runs the dialog initialisation. The window stays
    // hidden. False when it cannot be initialised.
    bool Create();

    // Any thread: the message is handled later on the GUI thread.
    void Post(uint32_t message, uint64_t wParam, int64_t lParam) override;
    // GUI thread only: the message is handled now, before this returns.
    bool SendMessage(uint32_t message, uint64_t wParam, int64_t lParam);

    // The display line.
    void SetDisplayText(const std::string& text);
    std::string GetDisplayText() const;
    void RestoreWindow();
    void ShowRemembered(const std::string& text) { m_displayLine.ShowRemembered(text); }
    void ShowRememberedId(uint32_t id) { m_displayLine.ShowRememberedId(id); }
    void ShowText(const std::string& text) { m_displayLine.ShowText(text); }
    void ShowAlert(const std::string& text) { m_displayLine.ShowAlert(text); }
    void ShowAlertId(uint32_t id) { m_displayLine.ShowAlertId(id); }
    void ShowAlertWithPrefix(uint32_t id, const std::string& text) { m_displayLine.ShowAlertWithPrefix(id, text); }
    void ShowAlertWithCode(const std::string& text, uint32_t code) { m_displayLine.ShowAlertWithCode(text, code); }
    void RestoreRemembered() { m_displayLine.RestoreRemembered(); }
    // What stays visible beside the display line's alerts (the lines' states): the display line's
    // tooltip, and the tray icon's under the program's name.
    void SetStatusTip(const std::string& text);

    // Window behaviour.
    void SetShowState(int showCommand);
    void ShowMainWindow(bool show);
    void SetFloat(bool on);
    void RestorePlacement();
    void SaveWindowState();
    void AddTrayIcon();
    void RemoveTrayIcon();
    void ExitApplication();
    bool HasTrayIcon() const { return m_trayIcon != nullptr; }

    // Commands of the context menu and the Help button.
    void OnCommand(uint32_t id);
    void OnOK();
    void OnCancel();
    void OnExit();
    // A close request (a posted WM_CLOSE, the session's end, a client's Quit): with clients
    // connected the user is asked first. `decided` hears whether Tarvik ends, before its shutdown
    // work. A request made while the question is up shares its answer.
    void OnClose(std::function<void(bool ends)> decided = {});
    // The desktop session is ending: a close request, asked only if `mayAsk` (the session's leave
    // to ask the user) allows. False when the user chose to keep Tarvik, which cancels the end.
    bool OnSessionEnd(const std::function<bool()>& mayAsk);
    void OnTrayNotify(int64_t mouseMessage);
    virtual void OnContextMenu(const QPoint& screenPos);
    std::unique_ptr<QMenu> BuildContextMenu();
    virtual void OnAboutBox();
    virtual void OnProperties() {}
    virtual void OnMonitor() {}

    // While set, no context menu opens and the tray menu's commands are dropped.
    virtual bool ContextMenuSuppressed() const { return false; }

    // Held while one of the window's modal dialogs runs (the preferences, the About box): an exit
    // asked for meanwhile closes those dialogs and follows once the last scope ends, so the window
    // never goes away under a dialog still running on its behalf.
    class CModalScope {
    public:
        explicit CModalScope(CTrayDialogBase& window) : window_(window) { ++window_.modalDepth_; }
        ~CModalScope();
        CModalScope(const CModalScope&) = delete;
        CModalScope& operator=(const CModalScope&) = delete;

    private:
        CTrayDialogBase& window_;
    };

    // Help requests go to the application; the window's end is reported to it.
    void SetHelpHandler(std::function<void(uint32_t data, uint32_t command)> handler);
    void SetDestroyedHandler(std::function<void()> handler);
    bool IsDestroyed() const { return m_bDestroyed != 0; }

    QLineEdit* m_display = nullptr;
    QIcon m_hIcon;
    QIcon m_hSmallIcon;
    int32_t m_nPosX = 0;
    int32_t m_nPosY = 0;
    Bool32 m_bVisible = 0;
    Bool32 m_bFloat = 0;
    Bool32 m_bRememberPosition = 0;
    int32_t m_nStartMode = 0;
    Bool32 m_bStandAlone = 0;
    QFont m_fontDisplay;

protected:
    virtual bool OnInitDialog();
    // A window message, whether posted or sent. True when handled.
    virtual bool OnMessage(uint32_t message, uint64_t wParam, int64_t lParam);
    // The dialog's shutdown work, run before the window goes.
    virtual void OnShutdown() {}
    void DestroyWindow();
    void RequestHelp(uint32_t data, uint32_t command);
    void MoveWindowTo(int x, int y);

    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

    ISettings& m_settings;
    IMessageBox& m_messageBox;
    CTarvikModule& m_module;
    CDisplayLine& m_displayLine;

private:
    void CloseModalDialogs();
    // Once per run: a window hidden with no notification-area icon cannot be clicked back.
    void TellHowToBringBack();
    QString TrayTip() const;

    // The tray's own copy of the context menu: desktops that draw the icon themselves show it
    // (exported over D-Bus), and an embedded tray icon opens it on a right click. Declared first
    // so that it outlives the icon that refers to it.
    std::unique_ptr<QMenu> trayMenu_;
    std::unique_ptr<QSystemTrayIcon> m_trayIcon;
    int modalDepth_ = 0;
    bool exitPending_ = false;
    bool closeAsking_ = false;
    std::vector<std::function<void(bool)>> closeWaiters_;
    bool hideHintGiven_ = false;
    std::function<void(uint32_t, uint32_t)> m_helpHandler;
    std::function<void()> m_destroyedHandler;
    Bool32 m_bDestroyed = 0;
    std::string statusTip_;
};

}  // namespace tarvik
