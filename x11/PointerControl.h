#pragma once
// The X server's pointer control (acceleration numerator and denominator, threshold) and button
// mapping, read as the speed and acceleration settings that the speed emulation expects.
#include "x11/MouseDevice.h"

namespace tarvik::mouse {

// X moves the pointer numerator/denominator times as fast when it moves more than `threshold`
// at once. With no threshold that factor applies to every move, so it is a plain speed (10 times
// the factor, 1 to 20) with no acceleration. With a threshold it is acceleration: a factor up to 1
// is none, under 3 one doubling, from 3 on two, each above the threshold.
SystemMouseSettings fromPointerControl(int numerator, int denominator, int threshold, bool leftHanded);

}  // namespace tarvik::mouse
