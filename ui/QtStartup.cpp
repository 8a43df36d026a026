#include "ui/QtStartup.h"

#include <cstdio>
#include <cstdlib>

#include <QtGlobal>

#include "app/VersionInfo.h"

namespace tarvik {
namespace {

bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// While the platform comes up, the toolkit's own complaints are replaced by our one line, and
// its fatal error (which would abort and dump core) becomes an ordinary failed start.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplayMessage, stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
        std::_Exit(2);
    }
}

}  // namespace

bool DisplayNamed() { return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY") || EnvSet("QT_QPA_PLATFORM"); }

std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv) {
    if (!DisplayNamed()) {
        std::fprintf(stderr, "%s\n", kNoDisplayMessage);
        return nullptr;
    }
    const QtMessageHandler previous = qInstallMessageHandler(StartupMessageHandler);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    QApplication::setApplicationName(QStringLiteral("Tarvik"));
    QApplication::setApplicationVersion(QString::fromLatin1(FileVersion()));
    // The window hides rather than closes; only the exit paths end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    return app;
}

}  // namespace tarvik
