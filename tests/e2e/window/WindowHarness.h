#pragma once
// The real main window on the offscreen platform, with the application object, the server module
// and fakes for what must not reach the desktop (message boxes, the browser).
#include <memory>
#include <string>
#include <vector>

#include <QApplication>

#include "app/TarvikApp.h"
#include "automation/ClassObjects.h"
#include "tests/support/Recorders.h"
#include "ui/TarvikDlg.h"

namespace tarvik::test {

QApplication& EnsureApplication();

struct FakeHelpViewer : IHelpViewer {
    struct Call {
        uint32_t command, data;
    };
    std::vector<Call> calls;
    void HtmlHelp(const std::string&, uint32_t command, uint32_t data) override { calls.push_back({command, data}); }
};

// The window as created by the start-up, with mouse capture available or not.
class CTestDlg : public CTarvikDlg {
public:
    CTestDlg(ISettings& settings, IMessageBox& box, CTarvikModule& module, bool mouseCapture)
        : CTarvikDlg(settings, box, module),
          m_mouseCapture(mouseCapture) {}
    bool InitDirectInput() override { return m_mouseCapture || CTarvikDlg::InitDirectInput(); }
    int shutdowns = 0;

protected:
    void OnShutdown() override {
        ++shutdowns;
        CTarvikDlg::OnShutdown();
    }

private:
    bool m_mouseCapture;
};

// Runs a whole start-up: application object, module, window.
class Harness : public IMainWindowFactory {
public:
    Harness(ISettings& settings, std::vector<std::string> argv, bool mouseCapture = false);
    ~Harness() override;

    bool Start() { return app.InitInstance(*this); }
    IMainWindow* CreateMainWindow() override;
    // Lets posted messages and deferred deletions run.
    void Pump();

    CTarvikModule module;
    CClassObjects classObjects;
    FakeHelpViewer viewer;
    RecordingBox box;
    CTarvikApp app;
    CTestDlg* window = nullptr;
    bool destroyed = false;

private:
    ISettings& m_settings;
    bool m_mouseCapture;
};

}  // namespace tarvik::test
