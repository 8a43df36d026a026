#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "x11/PointerControl.h"
#include "x11/RawMouseInput.h"

namespace tarvik::mouse {
namespace {

TEST(RawMouseInputTest, ReadsGiveWhatHappenedSinceThePreviousRead) {
    RawMouseInput input;
    bool more = true;
    EXPECT_TRUE(input.addMotion(2.5, -1));
    EXPECT_TRUE(input.addMotion(1, 0));
    EXPECT_FALSE(input.addMotion(std::numeric_limits<double>::quiet_NaN(), 1)) << "a broken value moves nothing";
    EXPECT_TRUE(input.addButton(4, true));
    EXPECT_FALSE(input.addButton(4, false)) << "a notch counts on the press";
    EXPECT_TRUE(input.addButton(5, true));
    EXPECT_TRUE(input.addButton(5, true));
    EXPECT_TRUE(input.addButton(8, true));
    EXPECT_FALSE(input.addButton(8, true)) << "a held button pressed again changes nothing";
    EXPECT_FALSE(input.addButton(6, true)) << "the sideways wheel is not used";
    MouseDeviceState state = input.take(more);
    EXPECT_EQ(state.lX, 3) << "the half count waits for the next read";
    EXPECT_EQ(state.lY, -1);
    EXPECT_EQ(state.lZ, -120);
    EXPECT_EQ(state.rgbButtons[3], ButtonDown);
    EXPECT_FALSE(more);
    input.addMotion(0.5, 0);
    EXPECT_EQ(input.take(more).lX, 1);
    EXPECT_EQ(input.take(more).rgbButtons[3], ButtonDown) << "held buttons stay down";
}

TEST(PointerControlTest, XPointerControlAsSpeedAndAcceleration) {
    const struct {
        int numerator, denominator, threshold;
        int32_t speed;
        std::array<int32_t, 3> thresholds;
    } cases[] = {
        {2, 1, 4, 10, {4, 4, 1}},                            // the X server's default
        {1, 1, 4, 10, {0, 0, 0}},                            // acceleration off
        {3, 1, 6, 10, {6, 6, 2}}, {3, 2, 0, 15, {0, 0, 0}},  // no threshold: a plain speed
        {5, 1, 0, 20, {0, 0, 0}}, {1, 0, 4, 10, {0, 0, 0}},  // a broken setting
    };
    for (const auto& c : cases) {
        const SystemMouseSettings settings = fromPointerControl(c.numerator, c.denominator, c.threshold, true);
        EXPECT_EQ(settings.speed, c.speed) << c.numerator << "/" << c.denominator << " " << c.threshold;
        EXPECT_EQ(settings.thresholds, c.thresholds) << c.numerator << "/" << c.denominator << " " << c.threshold;
        EXPECT_TRUE(settings.swapButtons);
    }
}

}  // namespace
}  // namespace tarvik::mouse
