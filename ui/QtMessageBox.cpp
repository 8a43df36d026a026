#include "ui/QtMessageBox.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include "ui/DialogOwner.h"

namespace tarvik {

int QtMessageBox::showMessage(const std::string& text, const std::string& caption, unsigned flags) {
    const bool yesNo = (flags & 0x000Fu) == MB_YESNO;
    const QMessageBox::Icon icon = (flags & MB_ICONHAND) ? QMessageBox::Critical : QMessageBox::NoIcon;
    // Owned, so the window manager keeps the box above the window it is about. The owner may go
    // while the box waits (the program is ended meanwhile) and take the box with it: then the
    // answer is the one that changes nothing.
    QPointer<QMessageBox> box =
        new QMessageBox(icon, QString::fromStdString(caption), QString::fromStdString(text),
                        yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, dialogOwner());
    if (yesNo) {
        QAbstractButton* fallback = box->button((flags & MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
        box->setDefaultButton(qobject_cast<QPushButton*>(fallback));
        // Escape and the close button answer No, never an accidental Yes.
        box->setEscapeButton(QMessageBox::No);
    }
    // Also for a box before the main window exists, which has no owner to stay above.
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const int answer = box->exec();
    delete box.data();
    if (!yesNo) return IDOK;
    return answer == QMessageBox::Yes ? IDYES : IDNO;
}

}  // namespace tarvik
