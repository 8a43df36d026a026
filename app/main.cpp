// Tarvik's entry point: a registration run ends before any display is touched; every other run
// needs a display for its window.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <QCoreApplication>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/MainWindowFactory.h"
#include "app/TarvikApp.h"
#include "automation/TarvikModule.h"
#include "bus/BusServer.h"
#include "res/HelpPages.h"
#include "res/VersionInfo.h"
#include "session/InstrumentSession.h"
#include "settings/HiveSettings.h"
#include "ui/DesktopHelpViewer.h"
#include "ui/ExitSignals.h"
#include "ui/QtMessageBox.h"
#include "ui/QtStartup.h"
#include "ui/TestHooks.h"

namespace {

std::string helpFolder(const char* argv0) {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) exe = std::filesystem::absolute(argv0 ? argv0 : "tarvik", error);
    return tarvik::helpFolderFor(exe, TARVIK_INSTALLED_HELP);
}

// With TARVIK_BENCH_IDLE_MARK set, one line on stderr tells when the event loop first has
// nothing to do, for the start-up benchmark.
void markFirstIdle(std::chrono::steady_clock::time_point started) {
    if (std::getenv("TARVIK_BENCH_IDLE_MARK") == nullptr) return;
    QTimer::singleShot(0, [started] {
        const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started);
        std::fprintf(stderr, "tarvik: idle %.1f ms after main\n", ms.count());
        std::fflush(stderr);
    });
}

// Named once each; they are otherwise ignored.
void reportUnknownArguments(const std::vector<std::string>& args) {
    for (const std::string& arg : tarvik::unknownArguments(args)) {
        std::fprintf(stderr, "tarvik: ignoring unknown argument \"%s\" (see tarvik --help)\n", arg.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarvik;
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::string> args(argv, argv + argc);
    switch (scanInfoRequest(args)) {
        case InfoRequest::Help: std::fputs(usageText(), stdout); return 0;
        case InfoRequest::Version: std::printf("%s %s\n", fileDescription(), fileVersion()); return 0;
        case InfoRequest::None: break;
    }
    TarvikModule& module = theModule();
    BusServer classObjects(module);
    DesktopHelpViewer helpViewer;
    TarvikApp app(module, classObjects, helpViewer, args, helpFolder(argc > 0 ? argv[0] : nullptr));

    if (!app.beginInstance()) {
        reportUnknownArguments(args);
        return app.exitInstance();
    }

    auto qapp = createApplication(argc, argv, parseCommandLine(args).m_embedded != 0);
    if (!qapp) {
        app.exitInstance();
        return 2;
    }
    // The toolkit has taken its own options (-platform, -display, ...) out of argv by now.
    reportUnknownArguments(std::vector<std::string>(argv, argv + argc));
    QtMessageBox messageBox;
    HiveSettings settings(messageBox);
    InstrumentSession session(settings);
    MainWindowFactory factory(app, module, settings, messageBox, session);
    exitOnSignals([&factory] { factory.exitApplication(); });
    // A window closed while its start-up waited in a message box (a run nobody reached, a signal)
    // asked an event loop to end before this one ran: then there is no loop to run.
    if (app.continueInstance(factory) && app.m_mainDlg != nullptr) {
        installTestHooks();
        markFirstIdle(started);
        QCoreApplication::exec();
    }
    // The window deletes itself once destroyed; let that happen while its helpers still exist.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return app.exitInstance();
}
