#pragma once
// The real main window on the offscreen platform, with the application object, the server module
// and fakes for what must not reach the desktop (message boxes, the browser).
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "app/MainWindowFactory.h"
#include "app/TarvikApp.h"
#include "tests/support/FakeClassObjects.h"
#include "tests/support/Recorders.h"
#include "ui/MainWindow.h"

namespace tarvik::test {

QApplication& EnsureApplication();

// Runs `open`, which shows a modal dialog and returns once it has closed; `drive` gets the dialog
// as soon as it is up and must close it. A dialog that does not come, or is left open, fails the
// test within seconds instead of hanging it.
template <typename Dialog>
void WithModal(const std::function<void()>& open, const std::function<void(Dialog&)>& drive) {
    bool seen = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = dynamic_cast<Dialog*>(modal);
        if (dialog != nullptr && !seen) {
            seen = true;
            drive(*dialog);
            if (!dialog->isVisible()) return;
            ADD_FAILURE() << "the dialog was left open";
            dialog->reject();
        } else if (auto* other = qobject_cast<QDialog*>(modal); other && std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "another dialog stayed up: " << other->windowTitle().toStdString();
            other->reject();
        }
    });
    poll.start();
    open();
    poll.stop();
    EXPECT_TRUE(seen) << "the dialog did not come up";
}

// Lets the event loop run (timers included) until `done` holds; false after 10 s.
bool PumpUntil(const std::function<bool()>& done);

struct FakeHelpViewer : HelpViewer {
    struct Call {
        uint32_t command, data;
    };
    std::vector<Call> calls;
    void htmlHelp(const std::string&, uint32_t command, uint32_t data) override { calls.push_back({command, data}); }
};

// The window as created by the start-up, with mouse capture available or not.
class TestDlg : public MainWindow {
public:
    TestDlg(Settings& settings, MessageBox& box, TarvikModule& module, InstrumentSession& session, bool mouseCapture)
        : MainWindow(settings, box, module, session),
          m_mouseCapture(mouseCapture) {}
    bool initDirectInput() override { return m_mouseCapture || MainWindow::initDirectInput(); }
    int shutdowns = 0;

protected:
    void onShutdown() override {
        ++shutdowns;
        MainWindow::onShutdown();
    }

private:
    bool m_mouseCapture;
};

// Runs a whole start-up: application object, module, session, window. The class objects are a fake unless
// `makeClassObjects` makes real ones for the module.
class Harness : public ShellWindowFactory {
public:
    using ClassObjectsMaker = std::function<std::unique_ptr<ClassObjects>(TarvikModule&)>;
    Harness(Settings& settings, std::vector<std::string> argv, bool mouseCapture = false,
            const ClassObjectsMaker& makeClassObjects = nullptr);
    ~Harness() override;

    bool start() { return app.initInstance(*this); }
    ShellWindow* createMainWindow() override;
    // Lets posted messages and deferred deletions run.
    void Pump();

    TarvikModule module;
    FakeClassObjects classObjects;
    std::unique_ptr<ClassObjects> madeClassObjects;
    FakeHelpViewer viewer;
    RecordingBox box;
    TarvikApp app;
    // Made after the toolkit, as the program makes it; outlives the window.
    std::unique_ptr<InstrumentSession> session;
    TestDlg* window = nullptr;
    std::unique_ptr<MainWindowAdapter> adapter;
    bool destroyed = false;
    int shutdowns = 0;  // the window's shutdown work, counted as it went

private:
    Settings& m_settings;
    bool m_mouseCapture;
};

}  // namespace tarvik::test
