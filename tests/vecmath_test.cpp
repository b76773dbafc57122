// Trackball math: worked figures, unit results over a sweep, compose order,
// renormalisation cadence, matrix layout, and zero inputs without division.

#include <gtest/gtest.h>

#include <cmath>

#include "render/vecmath.h"

namespace meshara {
namespace {

void ExpectQuat(const Quat& q, double x, double y, double z, double w, double tolerance = 1e-6) {
    EXPECT_NEAR(q.x, x, tolerance);
    EXPECT_NEAR(q.y, y, tolerance);
    EXPECT_NEAR(q.z, z, tolerance);
    EXPECT_NEAR(q.w, w, tolerance);
}

TEST(Trackball, WorkedFiguresAndTheSamePointGivingExactIdentity) {
    EXPECT_NEAR(ProjectToTrackball(0.8f, 0.5f, 0), 0.6245, 1e-4);  // sphere inside
    EXPECT_NEAR(ProjectToTrackball(0.8f, 1, 0), 0.32, 1e-6);       // sheet outside
    EXPECT_NEAR(ProjectToTrackball(0.8f, 0, 0), 0.8, 1e-7);
    const float edge = 0.8f * 0.70710678f;  // either side of r / sqrt(2) the surfaces meet
    EXPECT_NEAR(ProjectToTrackball(0.8f, edge - 1e-4f, 0), ProjectToTrackball(0.8f, edge + 1e-4f, 0), 1e-3);
    Quat q;
    TrackballQuat(q, 0, 0, 0.5f, 0);  // centre to the right: about -y
    ExpectQuat(q, 0, -0.3312, 0, 0.9436, 1e-4);
    q = Quat{1, 2, 3, 4};
    TrackballQuat(q, 0.3f, -0.2f, 0.3f, -0.2f);
    ExpectQuat(q, 0, 0, 0, 1, 0);
    // The angle takes the distance times 0.625, bit for bit: dividing by
    // twice the float 0.8 instead differs in the last places for these drags.
    for (auto [x, y] : {std::pair{0.025f, -0.1f}, {0.025f, -0.54f}}) {
        TrackballQuat(q, 0, 0, x, y);
        Vec3 p1{0, 0, ProjectToTrackball(0.8f, 0, 0)}, p2{x, y, ProjectToTrackball(0.8f, x, y)}, axis, d;
        VecCross(p2, p1, axis);
        VecSub(p1, p2, d);
        Quat want;
        AxisAngleToQuat(axis, static_cast<float>(2.0 * std::asin(VecLength(d) * 0.625)), want);
        EXPECT_TRUE(q.x == want.x && q.y == want.y && q.z == want.z && q.w == want.w) << x << "," << y;
    }
}

TEST(Trackball, EveryDragGivesAUnitQuaternion) {
    // Pairs along one ray from the centre (inside, across and beyond the sphere
    // edge), neighbours a tiny step apart, and far corners.
    const float steps[] = {0.0f, 1e-30f, 1e-7f, 0.1f, 0.5657f, 0.5658f, 0.9f, 1.0f, 1.5f};
    for (float a : steps)
        for (float b : steps)
            for (auto [dx, dy] : {std::pair{1.0f, 0.0f}, {0.6f, 0.8f}, {-1.0f, 1.0f}}) {
                Quat q;
                TrackballQuat(q, a * dx, a * dy, b * dx, b * dy);
                const double len =
                    std::sqrt(double{q.x} * q.x + double{q.y} * q.y + double{q.z} * q.z + double{q.w} * q.w);
                ASSERT_NEAR(len, 1.0, 1e-5) << a << " -> " << b << " along " << dx << "," << dy;
            }
}

TEST(VecMath, ZeroVectorsStayZeroAndCrossMayWriteOverItsInputs) {
    Vec3 v;
    Quat q{5, 5, 5, 5};
    AxisAngleToQuat(v, 1.0f, q);  // normalises the zero axis first
    EXPECT_TRUE(v.x == 0 && v.y == 0 && v.z == 0);
    ExpectQuat(q, 0, 0, 0, 1, 0);
    Vec3 a{1, 0, 0}, b{0, 1, 0}, c{0, 1, 0}, d{0, 0, 1};
    VecCross(a, b, a);
    EXPECT_TRUE(a.x == 0 && a.z == 1);
    VecCross(c, d, d);
    EXPECT_EQ(d.x, 1);
}

TEST(Quats, ComposeOrderFollowsTheTrackballAndMayWriteOverAnInput) {
    // Quarter turns about x and y do not commute; the cross product q2 x q1 fixes the sign of z.
    composeCount = 0;
    const float h = static_cast<float>(std::sqrt(0.5));
    Quat out;
    ComposeQuats(Quat{h, 0, 0, h}, Quat{0, h, 0, h}, out);
    ExpectQuat(out, 0.5, 0.5, -0.5, 0.5);
    Quat q{0, 0, std::sin(0.25f), std::cos(0.25f)};
    ComposeQuats(q, q, q);  // twice the angle
    ExpectQuat(q, 0, 0, std::sin(0.5), std::cos(0.5));
}

TEST(Quats, RenormalisesOnEveryFiftyFirstCompositionBySquaredLength) {
    // Length 2 composed with the identity keeps it until the 51st call divides by the squared length.
    composeCount = 0;
    Quat q{0, 0, 0, 2};
    for (int i = 1; i <= 50; ++i) {
        ComposeQuats(q, Quat{}, q);
        ASSERT_EQ(q.w, 2) << i;
    }
    ComposeQuats(q, Quat{}, q);
    EXPECT_TRUE(q.w == 0.5f && composeCount == 0);
    ComposeQuats(q, Quat{}, q);
    EXPECT_EQ(composeCount, 1);

    Quat nearUnit{0, 0.6f, 0, 0.8f * 1.01f};  // m = 1 + e: length drops towards 1
    const double before = std::sqrt(0.36 + 0.8 * 1.01 * 0.8 * 1.01);
    RenormalizeQuat(nearUnit);
    EXPECT_LT(std::abs(std::hypot(double{nearUnit.y}, double{nearUnit.w}) - 1), std::abs(before - 1));
    Quat zero{0, 0, 0, 0};
    RenormalizeQuat(zero);
    EXPECT_FALSE(std::isnan(zero.w));
}

TEST(Quats, MatrixIsTheTransposedRotationInColumnOrder) {
    float m[16];
    QuatToMatrix(m, Quat{});
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
    // A quarter turn about z: the usual matrix has +1 at m[1]; this layout has the transpose.
    const float h = static_cast<float>(std::sqrt(0.5));
    QuatToMatrix(m, Quat{0, 0, h, h});
    EXPECT_NEAR(m[1], -1, 1e-6);
    EXPECT_NEAR(m[4], 1, 1e-6);
    EXPECT_NEAR(m[0], 0, 1e-6);
    EXPECT_EQ(m[15], 1);
}

}  // namespace
}  // namespace meshara
