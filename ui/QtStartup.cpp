#include "ui/QtStartup.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include <fontconfig/fontconfig.h>

#include <QImageReader>
#include <QtGlobal>

#include "res/VersionInfo.h"

namespace tarvik {
namespace {

// Read by the message handler, which has no other way to learn it.
bool startedByBus = false;

bool envSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// While the platform comes up, the toolkit's own complaints are replaced by our one line, and
// its fatal error (which would abort and dump core) becomes an ordinary failed start.
void startupMessageHandler(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", noDisplayMessage(startedByBus).c_str());
        std::fflush(stderr);
        std::_Exit(2);
    }
}

// Fontconfig reads its whole configuration (dozens of XML files) when the first font is asked
// for, the largest single part of a start. A thread of its own reads it while the toolkit
// connects to the display; the first font waits for it (fontsReady), so the reading is never done
// twice at once.
std::thread& fontConfigReader() {
    static struct Reader {
        std::thread thread;
        ~Reader() {
            if (thread.joinable()) thread.join();
        }
    } reader;
    return reader.thread;
}

std::string envText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string noDisplayMessage(bool activated) {
    // The desktop session gives the bus its display; most do so when they start, others need it.
    static const char kFix[] = "run dbus-update-activation-environment DISPLAY XAUTHORITY in the desktop session";
    const std::string platform = envText("QT_QPA_PLATFORM");
    const std::string x11 = envText("DISPLAY");
    const std::string wayland = envText("WAYLAND_DISPLAY");
    std::string tried;
    if (!platform.empty()) tried += " platform \"" + platform + "\"";
    // Appended piece by piece: a literal put in front of a temporary string makes GCC 12 at -O3
    // warn of an overlapping copy (-Wrestrict) in the library's own insert.
    const auto variable = [&tried](const char* name, const std::string& value) {
        if (value.empty()) return;
        if (!tried.empty()) tried += ',';
        tried.append(" ").append(name).append("=").append(value);
    };
    variable("DISPLAY", x11);
    variable("WAYLAND_DISPLAY", wayland);
    if (tried.empty() && activated) {
        std::string text =
            "tarvik: cannot open a display: the session bus started this run for a client "
            "(-Embedding), and its activation environment has no DISPLAY or WAYLAND_DISPLAY: ";
        return text.append(kFix);
    }
    if (tried.empty()) {
        return "tarvik: cannot open a display: none is named (set DISPLAY or WAYLAND_DISPLAY, or "
               "QT_QPA_PLATFORM=offscreen)";
    }
    std::string text =
        "tarvik: cannot open a display (tried" + tried + "): is its server running, and may this user use it?";
    if (activated) text.append(" For a run the session bus started for a client, ").append(kFix);
    return text;
}

QPixmap artPixmap(const QString& path) {
    // Read as PNG and nothing else: a reader left to guess loads every image format plugin to
    // ask whether it reads PNG, and those libraries cost each start time and memory.
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48}) icon.addPixmap(artPixmap(QStringLiteral(":/art/icon131_%1.png").arg(size)));
    return icon;
}

void fontsReady() {
    if (fontConfigReader().joinable()) fontConfigReader().join();
}

bool displayNamed() { return envSet("DISPLAY") || envSet("WAYLAND_DISPLAY") || envSet("QT_QPA_PLATFORM"); }

std::unique_ptr<QApplication> createApplication(int& argc, char** argv, bool activated) {
    startedByBus = activated;
    if (!displayNamed()) {
        std::fprintf(stderr, "%s\n", noDisplayMessage(activated).c_str());
        return nullptr;
    }
    // Mouse mode captures the PC mouse through the X server, so in a Wayland session that also
    // offers one (XWayland) the window is put on it, unless the user chose a platform.
    if (envSet("DISPLAY") && !envSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    if (!fontConfigReader().joinable()) fontConfigReader() = std::thread([] { FcInit(); });
    const QtMessageHandler previous = qInstallMessageHandler(startupMessageHandler);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    QApplication::setApplicationName(QStringLiteral("Tarvik"));
    QApplication::setApplicationVersion(QString::fromLatin1(fileVersion()));
    // Every window, not only the main one: message boxes, the help viewer, the Monitor.
    QApplication::setWindowIcon(applicationIcon());
    // The window hides rather than closes; only the exit paths end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    return app;
}

}  // namespace tarvik
