#pragma once
// Bringing the toolkit up without letting it abort the process when there is no display.
#include <memory>

#include <QApplication>
#include <QIcon>
#include <QPixmap>

namespace tarvik {

#include <string>

// The one line printed when no window can be shown; it names the display that was tried. For a
// run the session bus started for a client (`activated`), the display comes from the bus's
// activation environment, so the line also names the command that puts it there.
std::string noDisplayMessage(bool activated);

// Whether the environment names any display or platform the toolkit could use.
bool displayNamed();

// One of Tarvik's PNG pictures (":/art/..."); null when it cannot be read.
QPixmap artPixmap(const QString& path);

// Tarvik's icon at the sizes desktops ask for.
QIcon applicationIcon();

// Returns once the fonts' configuration, which createApplication starts reading, has been read:
// to be called before the first font is used.
void fontsReady();

// The application object, or null (with noDisplayMessage(activated) on stderr) when the named
// display cannot be opened. `argc` and `argv` must outlive the application.
std::unique_ptr<QApplication> createApplication(int& argc, char** argv, bool activated);

}  // namespace tarvik
