#include "ui/DataExchange.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>

namespace tarvik {

void DataExchange::text(int id, std::string& value) {
    QWidget* control = getDlgItem(m_dialog, id);
    auto* edit = qobject_cast<QLineEdit*>(control);
    auto* label = qobject_cast<QLabel*>(control);
    if (edit == nullptr && label == nullptr) return;
    const QString shown = QString::fromStdString(value);
    if (!m_saveAndValidate) {
        if (edit) edit->setText(shown);
        else label->setText(shown);
        return;
    }
    // A text the user left alone keeps its exact bytes, even those a text control cannot show.
    const QString now = edit ? edit->text() : label->text();
    if (now != shown) value = now.toStdString();
}

void DataExchange::check(int id, int32_t& value) {
    auto* button = qobject_cast<QAbstractButton*>(getDlgItem(m_dialog, id));
    if (button == nullptr) return;
    if (m_saveAndValidate) value = button->isChecked() ? 1 : 0;
    else button->setChecked(value != 0);
}

void DataExchange::radio(int firstId, int32_t& value) {
    auto* first = qobject_cast<QAbstractButton*>(getDlgItem(m_dialog, firstId));
    QButtonGroup* group = first ? first->group() : nullptr;
    if (group == nullptr) return;
    const QList<QAbstractButton*> buttons = group->buttons();
    if (m_saveAndValidate) {
        value = static_cast<int32_t>(buttons.indexOf(group->checkedButton()));
        return;
    }
    // An exclusive group refuses to uncheck its last checked button, so it lets go while set.
    group->setExclusive(false);
    for (qsizetype i = 0; i < buttons.size(); ++i) buttons[i]->setChecked(i == value);
    group->setExclusive(true);
}

}  // namespace tarvik
