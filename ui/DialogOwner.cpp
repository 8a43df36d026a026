#include "ui/DialogOwner.h"

#include <QApplication>
#include <QWidget>

#include "ui/TrayDialogBase.h"

namespace tarvik {

QWidget* mainWindow() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* window = dynamic_cast<TrayDialogBase*>(top);
        if (window != nullptr && !window->isDestroyed()) return window;
    }
    return nullptr;
}

QWidget* dialogOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return mainWindow();
}

}  // namespace tarvik
