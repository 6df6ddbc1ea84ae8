#include "core/Math.h"

#include <gtest/gtest.h>

using namespace ORV::Core;

TEST(Math, PiConstantsAreSinglePrecision)
{
    EXPECT_EQ(pi, 3.14159274f);
    EXPECT_EQ(halfPi, pi * 0.5f);
    EXPECT_EQ(twoPi, pi + pi);
}

TEST(Math, ProductAppliesLeftMatrixFirst)
{
    Matrix translate;
    translate.m[3][0] = 5.0f;
    Matrix scale;
    scale.m[0][0] = 2.0f;
    // Translate then scale: x = (1 + 5) * 2.
    EXPECT_FLOAT_EQ(transformPoint({1, 0, 0}, translate * scale).x, 12.0f);
    // Scale then translate: x = 1 * 2 + 5.
    EXPECT_FLOAT_EQ(transformPoint({1, 0, 0}, scale * translate).x, 7.0f);
}
