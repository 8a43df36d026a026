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
class LeaderUntitler : public QObject {
public:
    explicit LeaderUntitler(QWidget* window) : QObject(window) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            // On the toolkit's own connection: it made the leader, and its requests are ahead of ours.
            const auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
            x11::untitleClientLeader(native ? native->connection() : nullptr,
                                     static_cast<QWidget*>(watched)->internalWinId());
            deleteLater();
        }
        return false;
    }
};

}  // namespace

MainWindowFactory::MainWindowFactory(TarvikApp& app, TarvikModule& module, Settings& settings, MessageBox& messageBox,
                                     InstrumentSession& session)
    : m_app(app),
      m_module(module),
      m_settings(settings),
      m_messageBox(messageBox),
      m_session(session) {}

MainWindowFactory::~MainWindowFactory() {
    // A window still alive here (the event loop ended some other way) must not outlive the
    // settings, message boxes and session it uses.
    delete m_window;
}

ShellWindow* MainWindowFactory::createMainWindow() {
    auto* window = new MainWindow(m_settings, m_messageBox, m_module, m_session);
    if (!window->createWindow()) {
        delete window;
        return nullptr;
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) window->installEventFilter(new LeaderUntitler(window));
    window->setHelpHandler([this](uint32_t data, uint32_t command) { m_app.winHelp(data, command); });
    window->setDestroyedHandler([this] {
        m_app.onMainWindowDestroyed();
        m_window = nullptr;
        // The window was the program: with it gone the event loop ends.
        QCoreApplication::exit(0);
    });
    m_window = window;
    m_adapter = std::make_unique<MainWindowAdapter>(*window);
    return m_adapter.get();
}

void MainWindowFactory::exitApplication() {
    if (m_window) m_window->exitApplication();
    else QCoreApplication::exit(0);
}

}  // namespace tarvik
