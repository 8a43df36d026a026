#pragma once
// The "Mouse" page: where the instrument's cursor starts when mouse mode begins, and its speed.
#include <cstdint>

#include "ui/PropertySheet.h"

class QSlider;

namespace tarvik {

class CTarvikPPMouse : public CPropertyPage {
public:
    CTarvikPPMouse();

    QSlider* m_sliderSpeed = nullptr;  // control 1043
    int32_t m_nStartPosition = -1;     // 0 Centre, 1 PC Position, 2 Last Position
    int32_t m_nMouseSpeed = 0;         // 0 to 100

protected:
    void OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
};

}  // namespace tarvik
