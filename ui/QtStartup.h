#pragma once
// Bringing the toolkit up without letting it abort the process when there is no display.
#include <memory>

#include <QApplication>
#include <QIcon>

namespace tarvik {

#include <string>

// The one line printed when no window can be shown; it names the display that was tried.
std::string NoDisplayMessage();

// Whether the environment names any display or platform the toolkit could use.
bool DisplayNamed();

// Tarvik's icon at the sizes desktops ask for.
QIcon ApplicationIcon();

// The application object, or null (with NoDisplayMessage() on stderr) when the named display
// cannot be opened. `argc` and `argv` must outlive the application.
std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv);

}  // namespace tarvik
