#include "ui/TarvikPPPrefs.h"

namespace tarvik {
namespace {

const DialogTemplate& PrefsTemplate() {
    static const DialogTemplate page{
        137,
        "Preferences",
        235,
        152,
        "MS Sans Serif",
        8,
        {
            {kNoControlId, ControlKind::GroupBox, "Window Behaviour", 7, 7, 221, 46, 0},
            {1031, ControlKind::CheckBox, "Float on top of other windows", 16, 20, 200, 10, kAutoCheckBox | kTabStop},
            {1032, ControlKind::CheckBox, "Remember position on exit", 16, 35, 200, 10, kAutoCheckBox | kTabStop},
            {kNoControlId, ControlKind::GroupBox, "Start", 7, 60, 221, 84, 0},
            {1041, ControlKind::RadioButton, "Visible", 16, 74, 64, 10, kGroup | kTabStop},
            {1042, ControlKind::RadioButton, "Hidden", 16, 90, 64, 10, kTabStop},
            {1043, ControlKind::RadioButton, "Last Used", 16, 106, 64, 10, kTabStop},
            {kNoControlId, ControlKind::Static,
             "This setting determines the window status when Tarvik is run stand alone, i.e: not invoked by a "
             "client.",
             88, 74, 130, 60, kGroup},
        }};
    return page;
}

}  // namespace

CTarvikPPPrefs::CTarvikPPPrefs() : CPropertyPage(PrefsTemplate()) {}

void CTarvikPPPrefs::DoDataExchange(CDataExchange& dx) {
    dx.Check(1031, m_bFloat);
    dx.Check(1032, m_bRememberPosition);
    dx.Radio(1041, m_nStartMode);
}

}  // namespace tarvik
