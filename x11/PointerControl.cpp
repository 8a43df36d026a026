#include "x11/PointerControl.h"

#include <algorithm>
#include <cmath>

namespace tarvik::mouse {

SystemMouseSettings fromPointerControl(int numerator, int denominator, int threshold, bool leftHanded) {
    SystemMouseSettings settings;
    settings.swapButtons = leftHanded;
    const double factor = numerator > 0 && denominator > 0 ? static_cast<double>(numerator) / denominator : 1.0;
    if (threshold <= 0) {
        settings.speed = static_cast<int32_t>(std::clamp(std::lround(factor * 10), 1L, 20L));
        return settings;
    }
    const int32_t level = factor <= 1.0 ? 0 : factor < 3.0 ? 1 : 2;
    if (level > 0) settings.thresholds = {threshold, threshold, level};
    return settings;
}

}  // namespace tarvik::mouse
