#include "ui/TarvikPPPrefs.h"

namespace tarvik {
namespace {

const DialogTemplate& prefsTemplate() {
    static const DialogTemplate page{
        137,
        "Preferences",
        235,
        152,
        "MS Sans Serif",
        8,
        {
            {NoControlId, ControlKind::GroupBox, "Window Behaviour", 7, 7, 221, 46, 0},
            {1031, ControlKind::CheckBox, "Float on top of other windows", 16, 20, 200, 10, AutoCheckBox | TabStop},
            {1032, ControlKind::CheckBox, "Remember position on exit", 16, 35, 200, 10, AutoCheckBox | TabStop},
            {NoControlId, ControlKind::GroupBox, "Start", 7, 60, 221, 84, 0},
            {1041, ControlKind::RadioButton, "Visible", 16, 74, 64, 10, Group | TabStop},
            {1042, ControlKind::RadioButton, "Hidden", 16, 90, 64, 10, TabStop},
            {1043, ControlKind::RadioButton, "Last Used", 16, 106, 64, 10, TabStop},
            {NoControlId, ControlKind::Static,
             "This setting determines the window status when Tarvik is run stand alone, i.e: not invoked by a "
             "client.",
             88, 74, 130, 60, Group},
        }};
    return page;
}

}  // namespace

TarvikPPPrefs::TarvikPPPrefs() : PropertyPage(prefsTemplate()) {}

void TarvikPPPrefs::doDataExchange(DataExchange& dx) {
    dx.check(1031, m_float);
    dx.check(1032, m_rememberPosition);
    dx.radio(1041, m_startMode);
}

}  // namespace tarvik
