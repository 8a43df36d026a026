#pragma once
// The main window: the instrument controls and all instrument-related state. It owns the two
// serial lines, the macros, the keyboard translator and the shared mouse state.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include <QFont>
#include <QPixmap>

#include "app/MainWindow.h"
#include "automation/AutomationHost.h"
#include "automation/IInstrumentEvents.h"
#include "common/MouseState.h"
#include "input/KeyTranslator.h"
#include "input/Macros.h"
#include "input/MouseEmulation.h"
#include "platform/comm/PortBindings.h"
#include "serial/InstrumentLink.h"
#include "ui/MouseModeLink.h"
#include "ui/TrayDialogBase.h"

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

class CTarvikDlg : public CTrayDialogBase,
                   public MouseState,
                   public IMainWindow,
                   public IAutomationHost,
                   public IMacroButtons,
                   public IKeyCodeSink,
                   public ILinkHost {
public:
    CTarvikDlg(ISettings& settings, IMessageBox& messageBox, CTarvikModule& module);
    ~CTarvikDlg() override;

    // IMainWindow
    void SetStandAlone(bool standAlone) override { m_bStandAlone = standAlone ? 1 : 0; }
    void StartUp() override;
    bool HelpKey() const override { return m_bHelpKey != 0; }
    void ClearHelpKey() override { m_bHelpKey = 0; }
    IMessagePoster& Poster() override { return *this; }
    IAutomationHost& AutomationHost() override { return *this; }

    // IAutomationHost
    IPortSender& Ports() override { return m_ports; }
    IInstrumentEvents* GetAutomationObject() const override { return m_pAutomationObject; }
    void SetAutomationObject(IInstrumentEvents* object) override { m_pAutomationObject = object; }
    void SetInstrumentListener(IInstrumentEvents* listener) override { instrumentListener_ = listener; }
    std::string InstrumentName() const override { return m_link.LastReportedName().Last(); }
    // As a click on the notification-area icon, and as its menu's Close.
    void ShowFromClient(bool show) override;
    void CloseFromClient(std::function<void(bool ends)> answered) override;
    ITrafficSource* Traffic() override { return &m_link.Monitor(); }

    // The instrument link (the protocol glue lives in TarvikDlgLink.cpp).
    bool OpenPorts() { return m_ports.openPorts(); }
    void ReportInstrumentName(const std::string& name) { m_link.ReportInstrumentName(name); }
    void SendMousePacket() override;
    void OnKeyCode(uint32_t code, uint32_t action) override;

    // Macros and function buttons.
    bool LoadMacros();
    bool SaveMacros();
    void SetDefaultMacros();
    void SendMacro(int index);
    void SetMacroCaption(int index, const std::string& caption) override;

    // Mouse mode (input/MouseEmulation.h; the window's side is ui/MouseModeLink.h).
    virtual bool InitDirectInput() { return m_mouse.InitDirectInput(m_mouseHost.OpenDevice()); }
    bool EnterMouseMode() { return m_mouse.EnterMouseMode(); }
    void LeaveMouseMode() override { m_mouse.LeaveMouseMode(); }
    // Timers 101 and 102 belong to mouse mode.
    void OnTimer(uint32_t id) { m_mouse.OnTimer(id); }

    // ILinkHost: what a new name and a packet from the instrument's own mouse need of the window.
    void FireInstrumentChanged(const std::string& name) override;
    void ShowInstrumentName(const std::string& name) override { ShowRemembered(name); }
    MouseState& SharedMouseState() override { return *this; }
    void RefreshControls() override { UpdateData(false); }
    Point InstrumentToScreen(Point instrument) override { return m_mouse.InstrumentToScreen(instrument); }

    // Control refresh: false = fields to controls, true = controls to fields.
    void UpdateData(bool saveAndValidate);

    void OnContextMenu(const QPoint& screenPos) override;
    bool ContextMenuSuppressed() const override { return m_mouse.m_bSuppressContextMenu != 0; }

    // The preferences sheet (TarvikDlgProperties.cpp).
    void OnProperties() override;
    // Where the Com Ports page finds devices and binds COM numbers; the ports folder unless a test
    // gives its own.
    void SetPortBindings(comm::IPortBindings& bindings) { portBindings_ = &bindings; }
    // Shows the traffic monitor, made on first use (TarvikDlgLink.cpp).
    void OnMonitor() override;
    CMonitorWindow* MonitorWindow() const { return m_pMonitorWindow.get(); }

    CInstrumentLink m_link;
    PortManager& m_ports = m_link.Ports();
    CMouseModeLink m_mouseHost{*this};
    // The mouse fields of the record ("Mouse Speed", "Mouse Position", the capture).
    CMouseEmulation m_mouse{*this, m_mouseHost, m_ports};
    Bool32 m_bHelpKey = 0;
    IInstrumentEvents* m_pAutomationObject = nullptr;  // not owned; set while the object exists
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
    CKeyTranslator m_keyTranslator;
    MacroArray m_macros;

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

    CKeyEventFilter* m_pKeyFilter = nullptr;  // a child of this window
    comm::CPortBindings ownPortBindings_;
    comm::IPortBindings* portBindings_ = &ownPortBindings_;
    // A child of this window and a window of its own. Owned here, so it goes before the link whose
    // traffic it watches (the toolkit would delete it only after every member is gone).
    struct MonitorWindowDeleter {
        void operator()(CMonitorWindow* window) const;
    };
    std::unique_ptr<CMonitorWindow, MonitorWindowDeleter> m_pMonitorWindow;
    IInstrumentEvents* instrumentListener_ = nullptr;  // not owned: the control interface
};

}  // namespace tarvik
