// The math kit: angles, the pose matrix against its one-axis factors,
// affine products against applying matrices one after the other.
#include "render/math.h"

#include <gtest/gtest.h>

namespace {

class MathTest : public ::testing::Test {
  protected:
    void SetUp() override { buildSineTable(); }
};

Pose poseOf(int angleX, int angleY, int angleZ, float x = 0, float y = 0, float z = 0) {
    return Pose{x, y, z, angleX, angleY, angleZ};
}

void expectNear(const Vec3& actual, const Vec3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST_F(MathTest, AnglesWrapAndAQuarterTurnAboutZCarriesXToMinusY) {
    EXPECT_EQ(wrapAngle(-1, 4096), 4095);
    EXPECT_EQ(wrapAngle(-4096 * 3 - 2, 4096), 4094);
    EXPECT_FLOAT_EQ(sineOf(-1024), -1.0f);
    Matrix4 m;
    matFromPose(poseOf(0, 0, 1024, 7, -8, 9), m);
    expectNear(transformPoint({1, 0, 0}, m), {7, -9, 9});
    expectNear(transformPoint({0, 1, 0}, m), {8, -8, 9});
    // Directions turn alike but do not move.
    CombinedMatrix = m;
    Vec3 out;
    transformDirection({1, 0, 0}, out);
    expectNear(out, {0, -1, 0});
}

TEST_F(MathTest, PoseTurnsAboutXThenYThenZ) {
    // The whole table must equal the product of its three one-axis turns.
    const int cases[][3] = {{300, 0, 0}, {0, 700, 0}, {123, 456, 789}, {-900, 2500, 4000}};
    for (const auto& c : cases) {
        Matrix4 r[3], xy, xyz, full;
        for (int k = 0; k < 3; ++k)
            matFromPose(poseOf(c[0] * (k == 0), c[1] * (k == 1), c[2] * (k == 2)), r[k]);
        matMultiplyAffine(r[0], r[1], xy);
        matMultiplyAffine(xy, r[2], xyz);
        matFromPose(poseOf(c[0], c[1], c[2]), full);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(full.m[i], xyz.m[i], 1e-5f) << i;
    }
    // A positive angle about x turns y towards -z (the right-handed sense, negated).
    Matrix4 m;
    matFromPose(poseOf(1024, 0, 0), m);
    expectNear(transformPoint({0, 1, 0}, m), {0, 0, -1});
}

TEST_F(MathTest, AffineProductAppliesFirstThenSecond) {
    Matrix4 a, b, ab, identity;
    matFromPose(poseOf(100, 200, 300, 10, 20, 30), a);
    matFromPose(poseOf(-50, 800, 2000, -5, 6, 700), b);
    matMultiplyAffine(a, b, ab);
    const Vec3 p = {3, -4, 5};
    expectNear(transformPoint(p, ab), transformPoint(transformPoint(p, a), b), 1e-3f);

    matIdentity(identity);
    b.m[3] = 9, b.m[7] = 9, b.m[11] = 9, b.m[15] = 9; // the fourth column is not carried
    matMultiplyAffine(identity, b, ab);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(ab.m[4 * r + c], b.m[4 * r + c]);
        EXPECT_FLOAT_EQ(ab.m[4 * r + 3], r == 3 ? 1.0f : 0.0f);
    }
}

TEST_F(MathTest, VectorsNormaliseAndMeasure) {
    Vec3 v = {3, 0, 4};
    vecNormalize(v);
    expectNear(v, {0.6f, 0, 0.8f});
    EXPECT_FLOAT_EQ(vecLength(2, 3, 6), 7.0f);
}

} // namespace
