#include "ui/DataExchange.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>

namespace tarvik {

void CDataExchange::Text(int id, std::string& value) {
    QWidget* control = GetDlgItem(dialog_, id);
    auto* edit = qobject_cast<QLineEdit*>(control);
    auto* label = qobject_cast<QLabel*>(control);
    if (edit == nullptr && label == nullptr) return;
    const QString shown = QString::fromStdString(value);
    if (!m_bSaveAndValidate) {
        if (edit) edit->setText(shown);
        else label->setText(shown);
        return;
    }
    // A text the user left alone keeps its exact bytes, even those a text control cannot show.
    const QString now = edit ? edit->text() : label->text();
    if (now != shown) value = now.toStdString();
}

void CDataExchange::Check(int id, Bool32& value) {
    auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(dialog_, id));
    if (button == nullptr) return;
    if (m_bSaveAndValidate) value = button->isChecked() ? 1 : 0;
    else button->setChecked(value != 0);
}

void CDataExchange::Radio(int firstId, int32_t& value) {
    auto* first = qobject_cast<QAbstractButton*>(GetDlgItem(dialog_, firstId));
    QButtonGroup* group = first ? first->group() : nullptr;
    if (group == nullptr) return;
    const QList<QAbstractButton*> buttons = group->buttons();
    if (m_bSaveAndValidate) {
        value = static_cast<int32_t>(buttons.indexOf(group->checkedButton()));
        return;
    }
    // An exclusive group refuses to uncheck its last checked button, so it lets go while set.
    group->setExclusive(false);
    for (qsizetype i = 0; i < buttons.size(); ++i) buttons[i]->setChecked(i == value);
    group->setExclusive(true);
}

}  // namespace tarvik
