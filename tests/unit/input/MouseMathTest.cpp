#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "input/MouseMath.h"

namespace tarvik {
namespace {

TEST(MouseMathTest, ScreenToInstrumentEdgesAndClamping) {
    EXPECT_EQ(screenToInstrument({1920, 1080}, 1920, 1080), (Point{1023, 1023}));
    EXPECT_EQ(screenToInstrument({0, 0}, 1920, 1080), (Point{0, 0}));
    EXPECT_EQ(screenToInstrument({960, 540}, 1920, 1080), (Point{511, 511}));
    EXPECT_EQ(screenToInstrument({-5, 5000}, 1920, 1080), (Point{0, 1023}));
    // Would overflow 32-bit arithmetic; must clamp instead.
    EXPECT_EQ(screenToInstrument({INT32_MAX, INT32_MIN}, 1920, 1080), (Point{1023, 0}));
    // A desktop with no size must not divide by zero.
    EXPECT_EQ(screenToInstrument({10, 10}, 0, -1), (Point{0, 0}));
}

TEST(MouseMathTest, InstrumentToScreenEdgesAndRoundTrip) {
    EXPECT_EQ(instrumentToScreen({1023, 0}, 1920, 1080), (Point{1920, 0}));
    EXPECT_EQ(instrumentToScreen({65, 892}, 1920, 1080), (Point{121, 941}));
    EXPECT_EQ(instrumentToScreen({-1, 5000}, 1920, 1080), (Point{0, 1080}));
    EXPECT_EQ(instrumentToScreen({500, 500}, 0, 0), (Point{0, 0}));
    // "Last Position" after the instrument moved: the screen point maps back to the same corner.
    EXPECT_EQ(screenToInstrument(instrumentToScreen({1023, 0}, 1366, 768), 1366, 768), (Point{1023, 0}));
}

TEST(MouseMathTest, MoveAxisTruncatesClampsAndSurvivesWildScales) {
    EXPECT_EQ(moveAxis(100, 1, mouseScale(50, 10), 1920), 101);
    EXPECT_EQ(moveAxis(100, 1, mouseScale(0, 10), 1920), 100);  // a fraction is lost
    EXPECT_EQ(moveAxis(100, -3, 0.9, 1920), 98);                // toward zero, not down
    EXPECT_EQ(moveAxis(5, -50, 1.0, 1920), 0);
    EXPECT_EQ(moveAxis(1900, 50, 1.0, 1920), 1920);
    // A stored speed far outside 0..100 gives an infinite factor: still a position on screen.
    const double inf = mouseScale(100000, 10);
    EXPECT_TRUE(std::isinf(inf));
    EXPECT_EQ(moveAxis(10, 1, inf, 1920), 1920);
    EXPECT_EQ(moveAxis(10, -1, inf, 1920), 0);
    EXPECT_EQ(moveAxis(10, 0, inf, 1920), 10);
    EXPECT_EQ(moveAxis(10, 5, std::numeric_limits<double>::quiet_NaN(), 1920), 10);
}

}  // namespace
}  // namespace tarvik
