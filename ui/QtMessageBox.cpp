#include "ui/QtMessageBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>

namespace tarvik {

int CQtMessageBox::Show(const std::string& text, const std::string& caption, unsigned flags) {
    const bool yesNo = (flags & 0x000Fu) == MB_YESNO;
    const QMessageBox::Icon icon = (flags & MB_ICONHAND) ? QMessageBox::Critical : QMessageBox::NoIcon;
    QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text),
                    yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
    if (yesNo) {
        QAbstractButton* fallback = box.button((flags & MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
        box.setDefaultButton(qobject_cast<QPushButton*>(fallback));
        // Escape and the close button answer No, never an accidental Yes.
        box.setEscapeButton(QMessageBox::No);
    }
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const int answer = box.exec();
    if (!yesNo) return IDOK;
    return answer == QMessageBox::Yes ? IDYES : IDNO;
}

}  // namespace tarvik
