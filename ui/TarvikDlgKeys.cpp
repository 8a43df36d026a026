// The keyboard's first stop: every key that reaches the window or one of its controls passes
// here before ordinary processing.
#include <QKeyEvent>

#include "TarvikDlg.h"

namespace tarvik {

bool CTarvikDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        if (PreTranslateMessage(static_cast<QKeyEvent*>(event))) return true;
    }
    return CTrayDialogBase::eventFilter(watched, event);
}

bool CTarvikDlg::PreTranslateMessage(QKeyEvent* event) {
    // Enter and Escape belong to the instrument: they must never press a button of this window
    // or hide it.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: return true;
    default: return false;
    }
}

}  // namespace tarvik
