#pragma once
// The main window: the instrument controls, a client of the session with the instrument. It shows
// what the session tells it and hands clicks and keys to the session's operations.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QFont>
#include <QPixmap>

#include "input/KeyTranslator.h"
#include "input/Macros.h"
#include "lines/PortBindings.h"
#include "session/InstrumentSession.h"
#include "ui/TrayDialogBase.h"
#include "ui/WindowDesktop.h"

class QPushButton;

namespace tarvik {

class KeyEventFilter;
class TarvikPropertySheet;
class MonitorWindow;

// Control ids of template 102.
inline constexpr int ControlDisplay = 1000;
inline constexpr int ControlShift = 1039;
inline constexpr int ControlCtrl = 1040;
inline constexpr int ControlEsc = 1041;
inline constexpr int ControlMouse = 1042;
inline constexpr int ControlHelpButton = 57670;
// The function buttons, macro 1 to macro 8: left column top to bottom, then the right column.
inline constexpr std::array<int, MacroCount> MacroButtonIds{1008, 1002, 1003, 1004, 1009, 1005, 1006, 1007};

class MainWindow : public TrayDialogBase {
public:
    MainWindow(Settings& settings, MessageBox& messageBox, TarvikModule& module, InstrumentSession& session);
    ~MainWindow() override;

    void setStandAlone(bool standAlone) { m_standAlone = standAlone ? 1 : 0; }
    // The post-creation start-up: placement and visibility, mouse settings, ports, macros, mouse.
    void startUp();

    // As a click on the notification-area icon, and as its menu's Close.
    void showFromClient(bool show);
    void closeFromClient(std::function<void(bool ends)> answered);

    InstrumentSession& session() { return m_session; }
    // The capture of the PC mouse for this window; false when the desktop offers none.
    virtual bool initDirectInput() { return m_session.initMouseDevice(); }
    void setMacroCaption(int index, const std::string& caption);

    // Control refresh: false = fields to controls, true = controls to fields.
    void updateData(bool saveAndValidate);

    void onContextMenu(const QPoint& screenPos) override;
    bool contextMenuSuppressed() const override { return m_session.contextMenuSuppressed(); }

    // The preferences sheet (MainWindowProperties.cpp).
    void onProperties() override;
    // Where the Com Ports page finds devices and binds COM numbers; the ports folder unless a test
    // gives its own.
    void setPortBindings(comm::PortBindings& bindings) { m_portBindings = &bindings; }
    // Shows the traffic monitor, made on first use (MainWindowLink.cpp).
    void onMonitor() override;
    MonitorWindow* monitorWindow() const { return m_monitorWindow.get(); }

    QPushButton* m_mouseModeButton = nullptr;
    QPushButton* m_helpButton = nullptr;
    std::array<QPushButton*, MacroCount> m_macroButton{};
    QPushButton* m_escButton = nullptr;
    QPushButton* m_shiftButton = nullptr;
    QPushButton* m_ctrlButton = nullptr;
    int32_t m_portsConfigured = 0;
    QPixmap m_mouseOffPixmap;
    QPixmap m_mouseOnPixmap;
    QFont m_fontButtons;

protected:
    bool onInitDialog() override;
    void onShutdown() override;
    // The keyboard's first stop (MainWindowKeys.cpp), before any control sees the key: true when
    // the key was taken.
    bool preTranslateMessage(const KeyMessage& message);
    // Losing the keyboard releases the modifiers held on it (MainWindowKeys.cpp).
    void changeEvent(QEvent* event) override;

private:
    void bindControls();
    void loadImages();
    void nameControls();
    void connectButtons();
    void installKeyFilter();
    void connectSession();
    void setMouseImage(bool on);

    // The Com Ports page's numbers as the sheet opened: OK stores only what the user changed.
    struct SheetPorts {
        int32_t display = 0;
        int32_t merge = 0;
    };
    SheetPorts copyToSheet(TarvikPropertySheet& sheet);
    void applySheet(const TarvikPropertySheet& sheet, const SheetPorts& shown);
    // The number the page shows for line `portId`: the one in use while the line is open or waits
    // for its device, otherwise what the machine's settings hold (-1, no selection, for none).
    int32_t portShown(int32_t portId);
    // Stores `chosen` when it differs from `shown`, else rewrites the stored number; true when
    // the user changed it.
    bool storePort(bool display, int32_t chosen, int32_t shown);

    InstrumentSession& m_session;
    WindowDesktop m_desktop{*this};
    KeyEventFilter* m_keyFilter = nullptr;  // a child of this window
    comm::FolderPortBindings m_ownPortBindings;
    comm::PortBindings* m_portBindings = &m_ownPortBindings;
    // A child of this window and a window of its own. Owned here, so it stops watching the
    // session's traffic as the window goes (the toolkit would delete it only after every member).
    struct MonitorWindowDeleter {
        void operator()(MonitorWindow* window) const;
    };
    std::unique_ptr<MonitorWindow, MonitorWindowDeleter> m_monitorWindow;
};

}  // namespace tarvik
