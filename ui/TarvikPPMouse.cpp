#include "ui/TarvikPPMouse.h"

#include <QSlider>

namespace tarvik {
namespace {

constexpr int ControlSpeed = 1043;

const DialogTemplate& mouseTemplate() {
    static const DialogTemplate page{
        139,
        "Mouse",
        235,
        152,
        "MS Sans Serif",
        8,
        {
            {NoControlId, ControlKind::GroupBox, "Ondrix Mouse", 7, 7, 221, 72, 0},
            {1033, ControlKind::RadioButton, "Centre", 16, 20, 72, 10, Group | TabStop},
            {1034, ControlKind::RadioButton, "PC Position", 16, 36, 72, 10, TabStop},
            {1035, ControlKind::RadioButton, "Last Position", 16, 52, 72, 10, TabStop},
            {NoControlId, ControlKind::Static,
             "This setting determines the position of the cursor on the Ondrix when activated from Tarvik.", 96, 20,
             124, 50, Group},
            {NoControlId, ControlKind::GroupBox, "Ondrix Mouse Speed", 7, 86, 221, 58, 0},
            {ControlSpeed, ControlKind::Trackbar, "", 14, 98, 207, 24, AutoTicks | BothTicks | TabStop},
            {NoControlId, ControlKind::Static, "Slow", 16, 126, 40, 8, 0},
            {NoControlId, ControlKind::Static, "Fast", 179, 126, 40, 8, RightAligned},
        }};
    return page;
}

}  // namespace

TarvikPPMouse::TarvikPPMouse() : PropertyPage(mouseTemplate()) {}

void TarvikPPMouse::onInitDialog() {
    updateData(false);
    if (m_sliderSpeed == nullptr) return;
    m_sliderSpeed->setRange(0, 100);
    m_sliderSpeed->setTickInterval(10);
    m_sliderSpeed->setPageStep(10);
    // Showing a speed outside the range moves the knob to the end, but the speed is changed only
    // by the user moving it (mouse, wheel or keys), so it is connected after.
    m_sliderSpeed->setValue(m_mouseSpeed);
    connect(m_sliderSpeed, &QSlider::valueChanged, this, [this](int value) { m_mouseSpeed = value; });
}

void TarvikPPMouse::doDataExchange(DataExchange& dx) {
    dx.control(ControlSpeed, m_sliderSpeed);
    dx.radio(1033, m_startPosition);
}

}  // namespace tarvik
