#include "input/MouseMath.h"

#include <algorithm>
#include <cmath>

namespace tarvik {

namespace {

// 64-bit intermediates: a position far outside the screen must clamp, not wrap.
int32_t scale(int32_t value, int64_t numerator, int64_t denominator, int32_t limit) {
    if (denominator <= 0) return 0;
    int64_t scaled = static_cast<int64_t>(value) * numerator / denominator;
    return static_cast<int32_t>(std::clamp<int64_t>(scaled, 0, std::max<int64_t>(limit, 0)));
}

}  // namespace

Point screenToInstrument(Point screen, int32_t width, int32_t height) {
    return {scale(screen.x, InstrumentMax, width, InstrumentMax),
            scale(screen.y, InstrumentMax, height, InstrumentMax)};
}

Point instrumentToScreen(Point instrument, int32_t width, int32_t height) {
    return {scale(instrument.x, width, InstrumentMax, width), scale(instrument.y, height, InstrumentMax, height)};
}

double mouseScale(int32_t mouseSpeed, int32_t systemMouseSpeed) {
    // The two factors are single-precision literals widened to double; this is what makes the
    // default come out as 1.000000002 rather than exactly 1.
    const double speedStep = 0.01f;
    const double systemStep = 0.1f;
    return (std::pow(10.0, mouseSpeed * speedStep) / std::pow(40.0, 0.5) + 0.5) * (systemMouseSpeed * systemStep);
}

int32_t moveAxis(int32_t pos, int32_t delta, double scale, int32_t limit) {
    const double step = std::trunc(static_cast<double>(delta) * scale);
    double target = static_cast<double>(pos) + (std::isnan(step) ? 0.0 : step);
    if (target <= 0.0) return 0;
    if (target >= limit) return limit;
    return static_cast<int32_t>(target);
}

}  // namespace tarvik
