#include "app/MainWindowFactory.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#include "x11/ClientLeader.h"

namespace tarvik {
namespace {

// On X11 only the main window is to be titled "Tarvik", so that tools find it by its title. The
// toolkit's client leader exists once the window has a native window, which is made when it is
// first shown (making it earlier, by asking for its id, upsets the toolkit's focus handling).
class CLeaderUntitler : public QObject {
public:
    explicit CLeaderUntitler(QWidget* window) : QObject(window) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            // On the toolkit's own connection: it made the leader, and its requests are ahead of ours.
            const auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
            x11::UntitleClientLeader(native ? native->connection() : nullptr,
                                     static_cast<QWidget*>(watched)->internalWinId());
            deleteLater();
        }
        return false;
    }
};

}  // namespace

CMainWindowFactory::CMainWindowFactory(CTarvikApp& app, CTarvikModule& module, ISettings& settings,
                                       IMessageBox& messageBox, InstrumentSession& session)
    : m_app(app),
      m_module(module),
      m_settings(settings),
      m_messageBox(messageBox),
      m_session(session) {}

CMainWindowFactory::~CMainWindowFactory() {
    // A window still alive here (the event loop ended some other way) must not outlive the
    // settings, message boxes and session it uses.
    delete m_window;
}

IMainWindow* CMainWindowFactory::CreateMainWindow() {
    auto* window = new CTarvikDlg(m_settings, m_messageBox, m_module, m_session);
    if (!window->Create()) {
        delete window;
        return nullptr;
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        window->installEventFilter(new CLeaderUntitler(window));
    window->SetHelpHandler([this](uint32_t data, uint32_t command) { m_app.WinHelp(data, command); });
    window->SetDestroyedHandler([this] {
        m_app.OnMainWindowDestroyed();
        m_window = nullptr;
        // The window was the program: with it gone the event loop ends.
        QCoreApplication::exit(0);
    });
    m_window = window;
    m_adapter = std::make_unique<MainWindowAdapter>(*window);
    return m_adapter.get();
}

void CMainWindowFactory::ExitApplication() {
    if (m_window) m_window->ExitApplication();
    else QCoreApplication::exit(0);
}

}  // namespace tarvik
