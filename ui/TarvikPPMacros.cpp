#include "ui/TarvikPPMacros.h"

#include <array>

namespace tarvik {
namespace {

struct MacroRow {
    int caption, text, clear, ret;  // control ids
};
constexpr std::array<MacroRow, kMacroCount> kRows{{{1040, 1028, 1046, 1034},
                                                   {1041, 1029, 1047, 1035},
                                                   {1042, 1030, 1048, 1036},
                                                   {1043, 1031, 1049, 1037},
                                                   {1044, 1032, 1050, 1038},
                                                   {1045, 1033, 1051, 1039},
                                                   {1054, 1052, 1055, 1053},
                                                   {1058, 1056, 1059, 1057}}};

constexpr uint32_t kEditStyle = kBorder | kAutoHScroll | kTabStop;
constexpr uint32_t kFlagStyle = kAutoCheckBox | kTabStop;
constexpr int kFirstRowY = 20;
constexpr int kRowStep = 16;

DialogTemplate MakeTemplate() {
    DialogTemplate page{135, "Macros", 235, 152, "MS Sans Serif", 8, {}};
    page.controls = {{kNoControlId, ControlKind::Static, "Caption", 10, 8, 55, 8, 0},
                     {kNoControlId, ControlKind::Static, "Macro", 70, 8, 115, 8, 0},
                     {kNoControlId, ControlKind::Static, "Clr", 193, 8, 16, 8, 0},
                     {kNoControlId, ControlKind::Static, "Ret", 211, 8, 16, 8, 0}};
    for (int i = 0; i < kMacroCount; ++i) {
        const MacroRow& row = kRows[static_cast<size_t>(i)];
        const int y = kFirstRowY + i * kRowStep;
        page.controls.push_back({row.caption, ControlKind::Edit, "", 10, y, 55, 12, kEditStyle});
        page.controls.push_back({row.text, ControlKind::Edit, "", 70, y, 115, 12, kEditStyle});
        page.controls.push_back({row.clear, ControlKind::CheckBox, "", 195, y + 1, 10, 10, kFlagStyle});
        page.controls.push_back({row.ret, ControlKind::CheckBox, "", 213, y + 1, 10, 10, kFlagStyle});
    }
    return page;
}

const DialogTemplate& MacrosTemplate() {
    static const DialogTemplate page = MakeTemplate();
    return page;
}

}  // namespace

CTarvikPPMacros::CTarvikPPMacros() : CPropertyPage(MacrosTemplate()) {}

void CTarvikPPMacros::DoDataExchange(CDataExchange& dx) {
    // No length or content checks: a macro is whatever the user typed.
    for (size_t i = 0; i < kRows.size(); ++i) {
        dx.Text(kRows[i].caption, m_macros[i].Caption);
        dx.Text(kRows[i].text, m_macros[i].Text);
        dx.Check(kRows[i].clear, m_macros[i].Clear);
        dx.Check(kRows[i].ret, m_macros[i].Return);
    }
}

}  // namespace tarvik
