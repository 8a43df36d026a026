#include "ui/TestHooks.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QLineEdit>
#include <QWidget>

#include "ui/DialogTemplate.h"
#include "ui/MainWindow.h"

namespace tarvik {
namespace {

// One line per text; a line break inside the text would split it, so it is written as a space.
void appendLine(std::FILE* file, const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('\n', ' ').replace('\r', ' ');
    bytes.append('\n');
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), file);
    // Flushed at once: the reader is another process polling the file.
    std::fflush(file);
}

QLineEdit* findDisplayLine() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (dynamic_cast<MainWindow*>(top) == nullptr) continue;
        if (auto* edit = qobject_cast<QLineEdit*>(getDlgItem(*top, ControlDisplay))) return edit;
    }
    return nullptr;
}

}  // namespace

void installTestHooks() {
    const char* path = std::getenv("TARVIK_TEST_DISPLAY_LOG");
    if (path == nullptr || *path == '\0') return;
    QLineEdit* display = findDisplayLine();
    // The file lives as long as the process; the line edit may go first at shutdown.
    static std::FILE* file = std::fopen(path, "w");
    if (display == nullptr || file == nullptr) {
        std::fprintf(stderr, "tarvik: TARVIK_TEST_DISPLAY_LOG: cannot watch the display line in %s\n", path);
        return;
    }
    appendLine(file, display->text());
    QObject::connect(display, &QLineEdit::textChanged, display, [](const QString& text) { appendLine(file, text); });
}

}  // namespace tarvik
