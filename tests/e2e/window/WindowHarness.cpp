#include "tests/e2e/window/WindowHarness.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace tarvik::test {

QApplication& EnsureApplication() {
    static int argc = 1;
    static char name[] = "tarvik-window-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        // Never the desktop's display, whatever the environment says. Two monitors side by side,
        // the primary one first, so nothing takes all of them for the desktop; windows get frames.
        const QString config = QDir::temp().filePath(QStringLiteral("tarvik-screens-%1.json").arg(getpid()));
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(R"({"windowFrameMargins": true, "screens": [
                {"name": "primary", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96},
                {"name": "right", "x": 1024, "y": 0, "width": 800, "height": 600, "logicalDpi": 96}]})");
            file.close();
        }
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toUtf8());
        auto* created = new QApplication(argc, argv);
        QFile::remove(config);
        QApplication::setQuitOnLastWindowClosed(false);
        return created;
    }();
    return *app;
}

Harness::Harness(Settings& settings, std::vector<std::string> argv, bool mouseCapture,
                 const ClassObjectsMaker& makeClassObjects)
    : madeClassObjects(makeClassObjects ? makeClassObjects(module) : nullptr),
      app(module, madeClassObjects ? *madeClassObjects : classObjects, viewer, std::move(argv), "/nonexistent/help"),
      m_settings(settings),
      m_mouseCapture(mouseCapture) {
    EnsureApplication();
    session = std::make_unique<InstrumentSession>(settings);
}

Harness::~Harness() {
    if (window != nullptr && !window->isDestroyed()) {
        // Real class objects outlive the window here, as they do in the program.
        app.onMainWindowDestroyed();
        delete window;
    }
    Pump();
}

ShellWindow* Harness::createMainWindow() {
    auto* dlg = new TestDlg(m_settings, box, module, *session, m_mouseCapture);
    if (!dlg->createWindow()) {
        delete dlg;
        return nullptr;
    }
    dlg->setHelpHandler([this](uint32_t data, uint32_t command) { app.winHelp(data, command); });
    dlg->setDestroyedHandler([this] {
        app.onMainWindowDestroyed();
        destroyed = true;
        shutdowns = window->shutdowns;
    });
    window = dlg;
    adapter = std::make_unique<MainWindowAdapter>(*dlg);
    return adapter.get();
}

bool PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void Harness::Pump() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (destroyed) window = nullptr;
}

}  // namespace tarvik::test

// fontconfig keeps its configuration for the life of the process; that is not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
