// Trackball math: the worked figures, compositions and the renormalisation
// cadence, and the degenerate axis that must not divide by zero.

#include <gtest/gtest.h>

#include <cmath>

#include "render/vecmath.h"

namespace meshara {
namespace {

TEST(Trackball, ProjectionUsesSphereInsideAndSheetOutside) {
    EXPECT_NEAR(ProjectToTrackball(0.8f, 0.5f, 0), 0.6245, 1e-4);
    EXPECT_NEAR(ProjectToTrackball(0.8f, 1, 0), 0.32, 1e-6);
    EXPECT_NEAR(ProjectToTrackball(0.8f, 0, 0), 0.8, 1e-7);
    // Just either side of r / sqrt(2) the two surfaces meet.
    const float edge = 0.8f * 0.70710678f;
    EXPECT_NEAR(ProjectToTrackball(0.8f, edge - 1e-4f, 0), ProjectToTrackball(0.8f, edge + 1e-4f, 0), 1e-3);
}

TEST(Trackball, DragFromCentreToTheRightTurnsAboutMinusY) {
    Quat q;
    TrackballQuat(q, 0, 0, 0.5f, 0);
    EXPECT_NEAR(q.x, 0, 1e-7);
    EXPECT_NEAR(q.y, -0.3312, 1e-4);
    EXPECT_NEAR(q.z, 0, 1e-7);
    EXPECT_NEAR(q.w, 0.9436, 1e-4);
}

TEST(Trackball, SamePointGivesExactIdentity) {
    Quat q{1, 2, 3, 4};
    TrackballQuat(q, 0.3f, -0.2f, 0.3f, -0.2f);
    EXPECT_EQ(q.x, 0);
    EXPECT_EQ(q.y, 0);
    EXPECT_EQ(q.z, 0);
    EXPECT_EQ(q.w, 1);
}

TEST(Trackball, EveryDragGivesAUnitQuaternion) {
    // Pairs along one ray from the centre (inside, across and beyond the
    // sphere edge), neighbours a tiny step apart, and far corners: none may
    // give NaN or a quaternion that is not a rotation.
    const float steps[] = {0.0f, 1e-30f, 1e-7f, 0.1f, 0.5657f, 0.5658f, 0.9f, 1.0f, 1.5f};
    for (float a : steps)
        for (float b : steps)
            for (auto [dx, dy] : {std::pair{1.0f, 0.0f}, {0.6f, 0.8f}, {-1.0f, 1.0f}}) {
                Quat q;
                TrackballQuat(q, a * dx, a * dy, b * dx, b * dy);
                const double len = std::sqrt(double{q.x} * q.x + double{q.y} * q.y + double{q.z} * q.z +
                                             double{q.w} * q.w);
                ASSERT_NEAR(len, 1.0, 1e-5) << a << " -> " << b << " along " << dx << "," << dy;
            }
}

TEST(VecMath, NormalizeOfZeroStaysZeroAndAxisAngleOfZeroIsIdentity) {
    Vec3 v;
    VecNormalize(v);
    EXPECT_EQ(v.x, 0);
    EXPECT_EQ(v.y, 0);
    EXPECT_EQ(v.z, 0);
    Quat q{5, 5, 5, 5};
    AxisAngleToQuat(v, 1.0f, q);
    EXPECT_EQ(q.w, 1);
    EXPECT_EQ(q.x, 0);
}

TEST(VecMath, CrossMayWriteOverItsInputs) {
    Vec3 a{1, 0, 0}, b{0, 1, 0};
    VecCross(a, b, a);
    EXPECT_EQ(a.z, 1);
    EXPECT_EQ(a.x, 0);
    Vec3 c{0, 1, 0}, d{0, 0, 1};
    VecCross(c, d, d);
    EXPECT_EQ(d.x, 1);
}

TEST(Quats, IdentityOnEitherSideLeavesTheOther) {
    composeCount = 0;
    const Quat q{0.1f, -0.2f, 0.3f, 0.927362f};
    Quat out;
    ComposeQuats(Quat{}, q, out);
    EXPECT_FLOAT_EQ(out.x, q.x);
    EXPECT_FLOAT_EQ(out.w, q.w);
    ComposeQuats(q, Quat{}, out);
    EXPECT_FLOAT_EQ(out.y, q.y);
    EXPECT_FLOAT_EQ(out.z, q.z);
}

TEST(Quats, ComposeOrderMatchesTheTrackballConvention) {
    // Two quarter turns about different axes do not commute; the cross
    // product is taken q2 x q1, which fixes the sign of the z part.
    composeCount = 0;
    const float h = static_cast<float>(std::sqrt(0.5));
    const Quat aboutX{h, 0, 0, h}, aboutY{0, h, 0, h};
    Quat out;
    ComposeQuats(aboutX, aboutY, out);
    EXPECT_NEAR(out.x, 0.5, 1e-6);
    EXPECT_NEAR(out.y, 0.5, 1e-6);
    EXPECT_NEAR(out.z, -0.5, 1e-6);
    EXPECT_NEAR(out.w, 0.5, 1e-6);
}

TEST(Quats, ComposeMayWriteOverAnInput) {
    composeCount = 0;
    Quat q{0, 0, std::sin(0.25f), std::cos(0.25f)};
    ComposeQuats(q, q, q);  // twice the angle
    EXPECT_NEAR(q.z, std::sin(0.5), 1e-6);
    EXPECT_NEAR(q.w, std::cos(0.5), 1e-6);
}

TEST(Quats, RenormalisesOnEveryFiftyFirstComposition) {
    // A quaternion of length 2 composed with the identity keeps its length
    // until the 51st call divides it by its squared length (4).
    composeCount = 0;
    Quat q{0, 0, 0, 2};
    for (int i = 1; i <= 50; ++i) {
        ComposeQuats(q, Quat{}, q);
        ASSERT_EQ(q.w, 2) << i;
    }
    ComposeQuats(q, Quat{}, q);
    EXPECT_EQ(q.w, 0.5f);
    EXPECT_EQ(composeCount, 0);
    ComposeQuats(q, Quat{}, q);
    EXPECT_EQ(composeCount, 1);
}

TEST(Quats, RenormaliseDividesBySquaredLength) {
    Quat identity;
    RenormalizeQuat(identity);
    EXPECT_EQ(identity.w, 1);
    Quat q{0, 0.6f, 0, 0.8f * 1.01f};  // m = 1 + e: length drops towards 1
    const double before = std::sqrt(0.36 + 0.8 * 1.01 * 0.8 * 1.01);
    RenormalizeQuat(q);
    const double after = std::sqrt(double{q.y} * q.y + double{q.w} * q.w);
    EXPECT_LT(std::abs(after - 1), std::abs(before - 1));
    Quat zero{0, 0, 0, 0};
    RenormalizeQuat(zero);  // no division by zero
    EXPECT_FALSE(std::isnan(zero.w));
}

TEST(Quats, MatrixIsTheTransposedRotationInColumnOrder) {
    float m[16];
    QuatToMatrix(m, Quat{});
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
    // A quarter turn about z: the usual matrix has m[1] (row 1, col 0) = +1;
    // this layout puts the transpose there.
    const float h = static_cast<float>(std::sqrt(0.5));
    QuatToMatrix(m, Quat{0, 0, h, h});
    EXPECT_NEAR(m[1], -1, 1e-6);
    EXPECT_NEAR(m[4], 1, 1e-6);
    EXPECT_NEAR(m[0], 0, 1e-6);
    EXPECT_EQ(m[15], 1);
}

}  // namespace
}  // namespace meshara
