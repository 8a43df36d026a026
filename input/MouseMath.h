#pragma once
// Conversions between the virtual PC screen (0..W, 0..H) and the instrument's 10-bit cursor
// positions, and the speed factor of PC mouse motion.
#include <cstdint>

#include "common/MouseState.h"

namespace tarvik {

inline constexpr int32_t InstrumentMax = 1023;

// x10 = x * 1023 / W, y10 = y * 1023 / H, truncating, each clamped to 0..1023.
// A screen with no width (or height) maps everything on that axis to 0.
Point screenToInstrument(Point screen, int32_t width, int32_t height);

// x = x10 * W / 1023, y = y10 * H / 1023, truncating, each clamped to 0..W (0..H).
Point instrumentToScreen(Point instrument, int32_t width, int32_t height);

// Pixels per device count from the "Mouse Speed" setting S and the desktop's pointer speed M:
// (10^(S*0.01) / 40^0.5 + 0.5) * (M*0.1). S = 50, M = 10 gives 1.000000002.
double mouseScale(int32_t mouseSpeed, int32_t systemMouseSpeed);

// One axis of PC motion: pos + trunc(delta * scale), kept within 0..limit. Safe for any scale,
// including the huge or non-finite factors an out-of-range stored speed produces.
int32_t moveAxis(int32_t pos, int32_t delta, double scale, int32_t limit);

}  // namespace tarvik
