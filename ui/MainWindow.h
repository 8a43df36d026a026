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

class CKeyEventFilter;
class CTarvikPropertySheet;
class CMonitorWindow;

// Control ids of template 102.
inline constexpr int IDC_DISPLAY = 1000;
inline constexpr int IDC_SHIFT = 1039;
inline constexpr int IDC_CTRL = 1040;
inline constexpr int IDC_ESC = 1041;
inline constexpr int IDC_MOUSE = 1042;
inline constexpr int IDC_HELP_BUTTON = 57670;
// The function buttons, macro 1 to macro 8: left column top to bottom, then the right column.
inline constexpr std::array<int, kMacroCount> kMacroButtonIds{1008, 1002, 1003, 1004, 1009, 1005, 1006, 1007};

class CTarvikDlg : public CTrayDialogBase {
public:
    CTarvikDlg(ISettings& settings, IMessageBox& messageBox, CTarvikModule& module, InstrumentSession& session);
    ~CTarvikDlg() override;

    void SetStandAlone(bool standAlone) { m_bStandAlone = standAlone ? 1 : 0; }
    // The post-creation start-up: placement and visibility, mouse settings, ports, macros, mouse.
    void StartUp();

    // As a click on the notification-area icon, and as its menu's Close.
    void ShowFromClient(bool show);
    void CloseFromClient(std::function<void(bool ends)> answered);

    InstrumentSession& Session() { return m_session; }
    // The capture of the PC mouse for this window; false when the desktop offers none.
    virtual bool InitDirectInput() { return m_session.initMouseDevice(); }
    void SetMacroCaption(int index, const std::string& caption);

    // Control refresh: false = fields to controls, true = controls to fields.
    void UpdateData(bool saveAndValidate);

    void OnContextMenu(const QPoint& screenPos) override;
    bool ContextMenuSuppressed() const override { return m_session.contextMenuSuppressed(); }

    // The preferences sheet (TarvikDlgProperties.cpp).
    void OnProperties() override;
    // Where the Com Ports page finds devices and binds COM numbers; the ports folder unless a test
    // gives its own.
    void SetPortBindings(comm::IPortBindings& bindings) { portBindings_ = &bindings; }
    // Shows the traffic monitor, made on first use (TarvikDlgLink.cpp).
    void OnMonitor() override;
    CMonitorWindow* MonitorWindow() const { return m_pMonitorWindow.get(); }

    QPushButton* m_btnMouse = nullptr;
    QPushButton* m_btnHelp = nullptr;
    std::array<QPushButton*, kMacroCount> m_btnMacro{};
    QPushButton* m_btnEsc = nullptr;
    QPushButton* m_btnShift = nullptr;
    QPushButton* m_btnCtrl = nullptr;
    Bool32 m_bPortsConfigured = 0;
    QPixmap m_hbmMouseOff;
    QPixmap m_hbmMouseOn;
    QFont m_fontButtons;

protected:
    bool OnInitDialog() override;
    bool OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) override;
    void OnShutdown() override;
    // The keyboard's first stop (TarvikDlgKeys.cpp), before any control sees the key: true when
    // the key was taken.
    bool PreTranslateMessage(const KeyMessage& message);
    // Losing the keyboard releases the modifiers held on it (TarvikDlgKeys.cpp).
    void changeEvent(QEvent* event) override;

private:
    void BindControls();
    void LoadImages();
    void NameControls();
    void ConnectButtons();
    void InstallKeyFilter();
    void ConnectSession();
    void SetMouseImage(bool on);

    // The Com Ports page's numbers as the sheet opened: OK stores only what the user changed.
    struct SheetPorts {
        int32_t display = 0;
        int32_t merge = 0;
    };
    SheetPorts CopyToSheet(CTarvikPropertySheet& sheet);
    void ApplySheet(const CTarvikPropertySheet& sheet, const SheetPorts& shown);
    // The number the page shows for line `portId`: the one in use while the line is open or waits
    // for its device, otherwise what the machine's settings hold (-1, no selection, for none).
    int32_t PortShown(int32_t portId);
    // Stores `chosen` when it differs from `shown`, else rewrites the stored number; true when
    // the user changed it.
    bool StorePort(bool display, int32_t chosen, int32_t shown);

    InstrumentSession& m_session;
    WindowDesktop m_desktop{*this};
    CKeyEventFilter* m_pKeyFilter = nullptr;  // a child of this window
    comm::CPortBindings ownPortBindings_;
    comm::IPortBindings* portBindings_ = &ownPortBindings_;
    // A child of this window and a window of its own. Owned here, so it stops watching the
    // session's traffic as the window goes (the toolkit would delete it only after every member).
    struct MonitorWindowDeleter {
        void operator()(CMonitorWindow* window) const;
    };
    std::unique_ptr<CMonitorWindow, MonitorWindowDeleter> m_pMonitorWindow;
};

}  // namespace tarvik
