#include "ui/TarvikPPMouse.h"

#include <QSlider>

namespace tarvik {
namespace {

constexpr int IDC_SPEED = 1043;

const DialogTemplate& MouseTemplate() {
    static const DialogTemplate page{
        139,
        "Mouse",
        235,
        152,
        "MS Sans Serif",
        8,
        {
            {kNoControlId, ControlKind::GroupBox, "Ondrix Mouse", 7, 7, 221, 72, 0},
            {1033, ControlKind::RadioButton, "Centre", 16, 20, 72, 10, kGroup | kTabStop},
            {1034, ControlKind::RadioButton, "PC Position", 16, 36, 72, 10, kTabStop},
            {1035, ControlKind::RadioButton, "Last Position", 16, 52, 72, 10, kTabStop},
            {kNoControlId, ControlKind::Static,
             "This setting determines the position of the cursor on the Ondrix when activated from Tarvik.", 96, 20,
             124, 50, kGroup},
            {kNoControlId, ControlKind::GroupBox, "Ondrix Mouse Speed", 7, 86, 221, 58, 0},
            {IDC_SPEED, ControlKind::Trackbar, "", 14, 98, 207, 24, kAutoTicks | kBothTicks | kTabStop},
            {kNoControlId, ControlKind::Static, "Slow", 16, 126, 40, 8, 0},
            {kNoControlId, ControlKind::Static, "Fast", 179, 126, 40, 8, kRightAligned},
        }};
    return page;
}

}  // namespace

CTarvikPPMouse::CTarvikPPMouse() : CPropertyPage(MouseTemplate()) {}

void CTarvikPPMouse::OnInitDialog() {
    UpdateData(false);
    if (m_sliderSpeed == nullptr) return;
    m_sliderSpeed->setRange(0, 100);
    m_sliderSpeed->setTickInterval(10);
    m_sliderSpeed->setPageStep(10);
    // Showing a speed outside the range moves the knob to the end, but the speed is changed only
    // by the user moving it (mouse, wheel or keys), so it is connected after.
    m_sliderSpeed->setValue(m_nMouseSpeed);
    connect(m_sliderSpeed, &QSlider::valueChanged, this, [this](int value) { m_nMouseSpeed = value; });
}

void CTarvikPPMouse::DoDataExchange(CDataExchange& dx) {
    dx.Control(IDC_SPEED, m_sliderSpeed);
    dx.Radio(1033, m_nStartPosition);
}

}  // namespace tarvik
