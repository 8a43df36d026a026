#include "ui/DialogOwner.h"

#include <QApplication>
#include <QWidget>

#include "ui/TrayDialogBase.h"

namespace tarvik {

QWidget* MainWindow() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* window = dynamic_cast<CTrayDialogBase*>(top);
        if (window != nullptr && !window->IsDestroyed()) return window;
    }
    return nullptr;
}

QWidget* DialogOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return MainWindow();
}

}  // namespace tarvik
