#include "core/Math.h"

#include <gtest/gtest.h>

#include <random>

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

TEST(InvertMatrix, ProductWithTheInverseIsTheIdentity)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> element(-2.0f, 2.0f);
    for (int trial = 0; trial < 200; ++trial) {
        Matrix m;
        for (auto& row : m.m)
            for (float& e : row) e = element(random);
        Matrix inverse = m;
        if (!invertMatrix(inverse)) continue;
        const Matrix product = m * inverse;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) ASSERT_NEAR(product.m[r][c], r == c ? 1.0f : 0.0f, 2e-3f) << trial;
    }
    Matrix singular = Matrix::zero();
    const Matrix before = singular;
    EXPECT_FALSE(invertMatrix(singular));
    EXPECT_EQ(singular, before);
}

TEST(InvertMatrix, SmallScalesStillInvert)
{
    // A node scaled down to a fifth has a determinant of 0.008: small, but a
    // real inverse, which its WorldI parameter needs.
    for (const float s : {0.2f, 0.5f, 3.0f}) {
        Matrix m;
        m.m[0][0] = m.m[1][1] = m.m[2][2] = s;
        m.m[3][0] = 4.0f;
        Matrix inverse = m;
        ASSERT_TRUE(invertMatrix(inverse)) << s;
        EXPECT_NEAR(inverse.m[0][0], 1.0f / s, 1e-5f) << s;
        EXPECT_NEAR(inverse.m[3][0], -4.0f / s, 1e-4f) << s;
    }
}
