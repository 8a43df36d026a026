// The keyboard's first stop: every key that reaches the window or one of its controls passes
// here before ordinary processing.
#include <QEvent>

#include "input/VirtualKeyCodes.h"
#include "res/HelpPages.h"
#include "ui/KeyEventFilter.h"
#include "ui/MainWindow.h"

namespace tarvik {

void MainWindow::installKeyFilter() {
    m_keyFilter = new KeyEventFilter(
        *this, [this](const KeyMessage& message) { return preTranslateMessage(message); }, desktopKeyboardLayout());
}

bool MainWindow::preTranslateMessage(const KeyMessage& message) {
    if (!m_session.translateKey(message)) return false;
    // F1 went to the instrument and marked the help key as used. The help request that should
    // follow it (and find the mark, clear it and show nothing) is not raised by anything on this
    // platform, so make it here, or the mark would swallow the user's next Help click.
    if (!message.release && message.vk == vk::VK_F1 && m_session.helpKey()) {
        requestHelp(MainWindowHelpContext, HELP_CONTEXT);
    }
    return true;
}

void MainWindow::changeEvent(QEvent* event) {
    TrayDialogBase::changeEvent(event);
    // The releases of keys held now go to whichever window has the keyboard next.
    if (event->type() != QEvent::ActivationChange || isActiveWindow()) return;
    m_session.releaseHeldModifiers();
}

}  // namespace tarvik
