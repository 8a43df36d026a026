#pragma once
// The "Mouse" page: where the instrument's cursor starts when mouse mode begins, and its speed.
#include <cstdint>

#include "ui/PropertySheet.h"

class QSlider;

namespace tarvik {

class TarvikPPMouse : public PropertyPage {
public:
    TarvikPPMouse();

    QSlider* m_sliderSpeed = nullptr;  // control 1043
    int32_t m_startPosition = -1;      // 0 Centre, 1 PC Position, 2 Last Position
    int32_t m_mouseSpeed = 0;          // 0 to 100

protected:
    void onInitDialog() override;
    void doDataExchange(DataExchange& dx) override;
};

}  // namespace tarvik
