#pragma once
// A mouse device that is opened when mouse mode first asks for it, not when the window starts: the
// capture's connections and queries cost every start, and most runs never enter mouse mode.
#include <functional>
#include <memory>

#include "x11/MouseDevice.h"

namespace tarvik::mouse {

// Calls `open` at the first Acquire and from then on passes every call to what it gave, with the
// input handler set before. When `open` gives nothing, that Acquire and every later one fail and
// `open` is not called again.
std::unique_ptr<MouseDevice> openOnFirstUse(std::function<std::unique_ptr<MouseDevice>()> open);

}  // namespace tarvik::mouse
