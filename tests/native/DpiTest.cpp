// Scaling a 96-dpi layout: rounded as MulDiv(value, dpi, 96) rounds, halves away from zero,
// negative font heights alike.
#include <gtest/gtest.h>

#include "ui/Dpi.h"

TEST(ScaleToDpi, RoundsAsMulDivAtEachScale) {
    struct Case {
        int value, dpi, scaled;
    };
    const Case cases[] = {
        // 100 %: the layout's own pixels.
        {235, 96, 235}, {304, 96, 304}, {-11, 96, -11}, {0, 96, 0}, {1, 96, 1},
        // 125 %: quarters round to the nearer pixel, halves away from zero.
        {235, 120, 294}, {304, 120, 380}, {19, 120, 24}, {17, 120, 21}, {2, 120, 3}, {6, 120, 8},
        {-11, 120, -14}, {-12, 120, -15}, {-6, 120, -8},
        // 150 %: every odd value lands on a half.
        {235, 144, 353}, {304, 144, 456}, {19, 144, 29}, {1, 144, 2}, {33, 144, 50},
        {-11, 144, -17}, {-1, 144, -2},
        // 200 %
        {235, 192, 470}, {304, 192, 608}, {-11, 192, -22},
        // A product beyond 32 bits.
        {1 << 24, 192, 1 << 25}, {-(1 << 24), 192, -(1 << 25)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.scaled, ScaleToDpi(c.value, c.dpi)) << c.value << " at " << c.dpi;
}
