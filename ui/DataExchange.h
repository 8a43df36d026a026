#pragma once
// Dialog data exchange: one call per binding moves a value between a field and the control with
// that id, in the direction the exchange was made for (fields to controls when a dialog opens,
// controls to fields when it is confirmed). A binding to a control the dialog does not have
// leaves the field as it is.
#include <cstdint>
#include <string>

#include "common/Win32Codes.h"
#include "ui/DialogTemplate.h"

class QWidget;

namespace tarvik {

class DataExchange {
public:
    DataExchange(const QWidget& dialog, bool saveAndValidate) : m_saveAndValidate(saveAndValidate), m_dialog(dialog) {}

    // An edit's or a static's text.
    void text(int id, std::string& value);
    // A check box: 0 unchecked, 1 checked; any other stored value shows checked.
    void check(int id, int32_t& value);
    // The radio group that starts at `firstId`: the index of the checked button, -1 for none. A
    // value that is no index of the group leaves every button unchecked.
    void radio(int firstId, int32_t& value);
    // Binds a member to the control itself (once, whichever the direction).
    template <typename Widget>
    void control(int id, Widget*& member) {
        if (member == nullptr) member = qobject_cast<Widget*>(getDlgItem(m_dialog, id));
    }

    const bool m_saveAndValidate;

private:
    const QWidget& m_dialog;
};

}  // namespace tarvik
