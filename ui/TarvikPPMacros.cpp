#include "ui/TarvikPPMacros.h"

#include <array>

namespace tarvik {
namespace {

struct MacroRow {
    int caption, text, clear, ret;  // control ids
};
constexpr std::array<MacroRow, MacroCount> Rows{{{1040, 1028, 1046, 1034},
                                                 {1041, 1029, 1047, 1035},
                                                 {1042, 1030, 1048, 1036},
                                                 {1043, 1031, 1049, 1037},
                                                 {1044, 1032, 1050, 1038},
                                                 {1045, 1033, 1051, 1039},
                                                 {1054, 1052, 1055, 1053},
                                                 {1058, 1056, 1059, 1057}}};

constexpr uint32_t EditStyle = Border | AutoHScroll | TabStop;
constexpr uint32_t FlagStyle = AutoCheckBox | TabStop;
constexpr int FirstRowY = 20;
constexpr int RowStep = 16;

DialogTemplate makeTemplate() {
    DialogTemplate page{135, "Macros", 235, 152, "MS Sans Serif", 8, {}};
    page.controls = {{NoControlId, ControlKind::Static, "Caption", 10, 8, 55, 8, 0},
                     {NoControlId, ControlKind::Static, "Macro", 70, 8, 115, 8, 0},
                     {NoControlId, ControlKind::Static, "Clr", 193, 8, 16, 8, 0},
                     {NoControlId, ControlKind::Static, "Ret", 211, 8, 16, 8, 0}};
    for (int i = 0; i < MacroCount; ++i) {
        const MacroRow& row = Rows[static_cast<size_t>(i)];
        const int y = FirstRowY + i * RowStep;
        page.controls.push_back({row.caption, ControlKind::Edit, "", 10, y, 55, 12, EditStyle});
        page.controls.push_back({row.text, ControlKind::Edit, "", 70, y, 115, 12, EditStyle});
        page.controls.push_back({row.clear, ControlKind::CheckBox, "", 195, y + 1, 10, 10, FlagStyle});
        page.controls.push_back({row.ret, ControlKind::CheckBox, "", 213, y + 1, 10, 10, FlagStyle});
    }
    return page;
}

const DialogTemplate& macrosTemplate() {
    static const DialogTemplate page = makeTemplate();
    return page;
}

}  // namespace

TarvikPPMacros::TarvikPPMacros() : PropertyPage(macrosTemplate()) {}

void TarvikPPMacros::doDataExchange(DataExchange& dx) {
    // No length or content checks: a macro is whatever the user typed.
    for (size_t i = 0; i < Rows.size(); ++i) {
        dx.text(Rows[i].caption, m_macros[i].caption);
        dx.text(Rows[i].text, m_macros[i].text);
        dx.check(Rows[i].clear, m_macros[i].clear);
        dx.check(Rows[i].ret, m_macros[i].sendReturn);
    }
}

}  // namespace tarvik
