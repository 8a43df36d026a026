#pragma once
// Which window Tarvik's other windows belong to. A window that belongs to another is transient for
// it: the window manager keeps it above that window and in its layer, so nothing Tarvik opens goes
// under the main window while that floats on top of all others, and a dialog opens centred on it.
class QWidget;

namespace tarvik {

// The main window, while it exists; null before it is made and after it has gone.
QWidget* mainWindow();

// The owner of a message box or dialog opened now: the modal dialog running (a box shown from the
// preferences belongs to the sheet), else the main window.
QWidget* dialogOwner();

}  // namespace tarvik
