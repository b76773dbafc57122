// The trackball: its math (worked figures, unit results over a sweep, the compose
// order, the matrix layout) and the camera's mouse rules, driven through a fake window.

#include <gtest/gtest.h>

#include <cmath>

#include "view/camera.h"
#include "view/vecmath.h"

namespace meshara {
namespace {

constexpr uint32_t L = MouseLeft, R = MouseRight, Shift = MouseShift, Ctrl = MouseControl;

double Length(const Quat& q) { return std::hypot(std::hypot(double{q.x}, q.y, q.z), q.w); }
// How far apart two quaternions (or vectors, with w = 0) are; NaN stays NaN.
double Off(const Quat& a, const Quat& b) { return Length({a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w}); }
double Off(const Vec3& a, const Vec3& b) { return Off(Quat{a.x, a.y, a.z, 0}, Quat{b.x, b.y, b.z, 0}); }

class CameraDrag : public ::testing::Test, public CameraHost {
protected:
    bool HasCapture() const override { return captured; }
    void CaptureMouse() override { captured = true; }
    void ReleaseMouse() override { captured = false; }
    void RepaintNow() override { ++repaints; }
    void RequestRedraw() override { ++redraws; }
    Point ClientSize() const override { return size; }
    void Left(uint32_t flags, Point p) { OnLeftButtonDown(camera, *this, flags, p); }
    void Right(uint32_t flags, Point p) { OnRightButtonDown(camera, *this, flags, p); }
    void Move(uint32_t flags, Point p) { OnMouseMove(camera, *this, flags, p); }
    void LeftDrag(uint32_t flags, Point from, Point to) { Left(flags, from); Move(flags, to); }
    std::string State() const {
        return std::to_string(camera.dragMode) + (captured ? " captured" : " free") + " spin " +
               std::to_string(camera.spinning) + (Off(camera.spinStep, Quat{}) == 0 ? " still " : " step ") +
               std::to_string(repaints) + "/" + std::to_string(redraws);
    }

    Camera camera;
    bool captured = false;
    int repaints = 0, redraws = 0;
    Point size{200, 100};
};

TEST_F(CameraDrag, LeftDragSpinsAfterReleaseAndAClickWithoutMovingStopsIt) {
    const float h = std::sqrt(0.5f);
    camera.rotation = Quat{h, 0, 0, h};  // already a quarter turn about x
    LeftDrag(L, {100, 50}, {150, 50});
    EXPECT_EQ(State(), "100 captured spin 1 step 1/0") << "the press repaints; the idle loop does, not the move";
    EXPECT_LT(camera.spinStep.y, 0) << "dragging right turns about -y";
    EXPECT_EQ(Off(camera.rotation, {h, 0, 0, h}), 0) << "the move itself does not turn the model";
    OnLeftButtonUp(camera, *this, 0);
    EXPECT_EQ(State(), "0 free spin 1 step 1/1");
    SpinStep(camera, *this);
    const Quat turned = camera.rotation;
    EXPECT_LT(turned.z, 0) << "the step turns about the screen's -y, after the model's own turn";
    Left(L, {10, 10});
    OnLeftButtonUp(camera, *this, 0);
    EXPECT_EQ(State(), "0 free spin 0 still 3/2");
    EXPECT_EQ(Off(camera.rotation, turned), 0);
}

TEST_F(CameraDrag, ShiftZoomsUnclampedAndCtrlWinsOverShiftTurningClampedWithoutSpin) {
    camera.spinning = true;
    Left(L | Shift, {0, 60});
    EXPECT_EQ(State(), "101 captured spin 1 still 0/0");
    // Up by the client height doubles; down by more goes negative (no clamping); down by it gives zero.
    for (auto [y, zoom] : {std::pair{-40, 0.06f}, {210, -0.09f}, {310, 0.0f}}) {
        Move(L | Shift, {500, y});
        EXPECT_FLOAT_EQ(camera.zoom, zoom) << y;
    }
    OnLeftButtonUp(camera, *this, 0);
    EXPECT_EQ(State(), "0 free spin 1 still 3/1");
    Left(L | Shift | Ctrl, {100, 50});
    Move(L | Ctrl, {120, 40});
    EXPECT_EQ(State(), "102 captured spin 0 step 5/1") << "the move repaints at once; the step stays for SpinStep";
    EXPECT_NE(Off(camera.rotation, Quat{}), 0);
    Move(L | Ctrl, {500, -300});
    EXPECT_EQ(camera.lastPoint, (Point{199, 0}));
}

TEST_F(CameraDrag, RightDragPansOrWithShiftMovesTheModelAroundItsCentre) {
    Right(R | Ctrl, {10, 10});
    EXPECT_EQ(State(), "200 captured spin 0 still 0/0") << "Ctrl plays no part";
    Move(R, {11, 12});      // 0.06 per pixel at the start zoom, y up
    Move(R | L, {30, 13});  // with left down too: along the view axis only
    OnRightButtonUp(camera, *this, 0);
    Right(R | Shift, {10, 10});
    Move(R, {12, 10});
    EXPECT_TRUE(Off(camera.modelOffset, {0.12f, 0, 0}) < 1e-6 && Off(camera.pan, {0.06f, -0.12f, -0.06f}) < 1e-6);
}

TEST_F(CameraDrag, OtherButtonIsIgnoredUntilBothAreUpAndCaptureLossEndsTheDrag) {
    Left(L, {100, 50});
    Right(L | R, {100, 50});
    OnLeftButtonUp(camera, *this, R);
    Move(R, {10, 10});
    EXPECT_EQ(State(), "2 captured spin 0 still 1/1") << "moves do nothing while ending";
    OnRightButtonUp(camera, *this, 0);
    EXPECT_EQ(State(), "0 free spin 0 still 1/2");
    LeftDrag(L, {100, 50}, {120, 50});
    captured = false;  // another window took it
    OnCaptureChanged(camera, *this);
    EXPECT_EQ(State(), "0 free spin 1 step 2/3") << "the spin goes on";
    OnCaptureChanged(camera, *this);
    EXPECT_EQ(redraws, 3) << "no drag, nothing to end";
}

TEST_F(CameraDrag, MovesWithoutCaptureOrWithAnEmptyClientDoNothing) {
    camera.dragMode = DragZoom;
    Move(L, {0, -100});
    EXPECT_FLOAT_EQ(camera.zoom, 0.03f);
    for (Point empty : {Point{0, 100}, Point{200, 0}})
        for (uint32_t flags : {L, L | Shift}) {
            camera = Camera{};
            size = empty;
            LeftDrag(flags, {0, 0}, {5, 5});
            EXPECT_TRUE(Off(camera.spinStep, Quat{}) == 0 && camera.zoom == 0.03f) << "no NaN, no change";
        }
}

TEST_F(CameraDrag, ADragWithoutAWindowTurnsAsTheMouseWouldAndALongSpinKeepsItsSize) {
    Camera byMouse;
    LeftDrag(L, {100, 50}, {130, 20});
    OnLeftButtonUp(camera, *this, 0);
    SpinStep(camera, *this);
    TurnByDrag(byMouse, {100, 50}, {130, 20}, size);
    camera.spinning = false;  // the mouse leaves it spinning on; a drag without a window does not
    EXPECT_TRUE(SameView(byMouse, camera));
    // Ten thousand small steps: the rotation stays a rotation, the model its size.
    for (int i = 0; i < 10000; ++i) AdvanceSpin(camera);
    EXPECT_NEAR(Length(camera.rotation), 1.0, 1e-4);
}

// Each view key goes as far as its 10-pixel drag from the centre would, and a key never touches the spin.
TEST_F(CameraDrag, ViewKeysStepAsTenPixelDragsAndLeaveTheSpinAlone) {
    const struct { Point steps; uint32_t drag; int zoom; } cases[] = {
        {{1, 0}, L | Ctrl, 0}, {{0, -1}, L | Ctrl, 0}, {{-1, 0}, R, 0}, {{0, 1}, R, 0}, {{0, -1}, L | Shift, 1},
        {{0, 1}, L | Shift, -1}};
    for (const auto& c : cases) {
        Camera start;
        start.rotation = Quat{0.6f, 0, 0, 0.8f}, start.spinStep = Quat{0, 0.1f, 0, 0.995f}, start.spinning = true;
        camera = start;
        const Point centre{size.x / 2, size.y / 2}, to{centre.x + 10 * c.steps.x, centre.y + 10 * c.steps.y};
        if (c.drag & L) Left(c.drag, centre);
        else Right(c.drag, centre);
        Move(c.drag, to);
        const Camera byMouse = camera;
        camera = start;
        if (c.drag == (L | Ctrl)) TurnByKey(camera, c.steps, size);
        else if (c.drag == R) MoveByKey(camera, c.steps);
        else ZoomByKey(camera, c.zoom > 0, size);
        const std::string what = std::to_string(c.drag) + " " + std::to_string(c.steps.x) + "," + std::to_string(c.steps.y);
        EXPECT_TRUE(Off(camera.spinStep, start.spinStep) == 0 && camera.spinning) << what;
        EXPECT_LT(Off(camera.rotation, byMouse.rotation), 1e-6) << what;
        EXPECT_LT(Off(camera.pan, byMouse.pan), 1e-6) << what;
        // Out divides by what in multiplies by, so the two cancel where a drag down would not.
        EXPECT_FLOAT_EQ(camera.zoom, c.zoom >= 0 ? byMouse.zoom : start.zoom / (1 + 10.0f / size.y)) << what;
        camera.dragMode = DragNone, captured = false;
    }
    camera = Camera{};
    TurnByKey(camera, {1, 1}, {0, 0});
    ZoomByKey(camera, true, {10, 0});
    EXPECT_TRUE(SameView(camera, Camera{})) << "an empty view takes no key";
}

TEST(Trackball, WorkedFiguresAndTheSamePointGivingExactIdentity) {
    EXPECT_NEAR(ProjectToTrackball(0.8f, 0.5f, 0), 0.6245, 1e-4);  // sphere inside
    EXPECT_NEAR(ProjectToTrackball(0.8f, 1, 0), 0.32, 1e-6);       // sheet outside
    const float edge = 0.8f * 0.70710678f;  // either side of r / sqrt(2) the surfaces meet
    EXPECT_NEAR(ProjectToTrackball(0.8f, edge - 1e-4f, 0), ProjectToTrackball(0.8f, edge + 1e-4f, 0), 1e-3);
    Quat q, same{1, 2, 3, 4}, want;
    TrackballQuat(q, 0, 0, 0.5f, 0);  // centre to the right: about -y
    EXPECT_LT(Off(q, {0, -0.3312f, 0, 0.9436f}), 1e-4);
    TrackballQuat(same, 0.3f, -0.2f, 0.3f, -0.2f);
    EXPECT_EQ(Off(same, Quat{}), 0);
    // The angle is the distance times 0.625, bit for bit: dividing by twice the float 0.8 is off in the last places.
    for (auto [x, y] : {std::pair{0.025f, -0.1f}, {0.025f, -0.54f}}) {
        TrackballQuat(q, 0, 0, x, y);
        Vec3 p1{0, 0, ProjectToTrackball(0.8f, 0, 0)}, p2{x, y, ProjectToTrackball(0.8f, x, y)}, axis, d;
        VecCross(p2, p1, axis);
        VecSub(p1, p2, d);
        AxisAngleToQuat(axis, static_cast<float>(2.0 * std::asin(VecLength(d) * 0.625)), want);
        EXPECT_EQ(Off(q, want), 0) << x << "," << y;
    }
    // Pairs on one ray (inside, across and beyond the sphere's edge), tiny steps, far corners: always unit length.
    const float steps[] = {0.0f, 1e-30f, 1e-7f, 0.1f, 0.5657f, 0.5658f, 0.9f, 1.0f, 1.5f};
    for (float a : steps)
        for (float b : steps)
            for (auto [dx, dy] : {std::pair{1.0f, 0.0f}, {0.6f, 0.8f}, {-1.0f, 1.0f}}) {
                TrackballQuat(q, a * dx, a * dy, b * dx, b * dy);
                ASSERT_NEAR(Length(q), 1.0, 1e-5) << a << " -> " << b << " along " << dx << "," << dy;
            }
}

TEST(Quats, ComposeOrderMatrixLayoutAndZeroInputsFollowTheTrackball) {
    // Quarter turns about x and y do not commute; the cross product q2 x q1 fixes the sign of z.
    const float h = static_cast<float>(std::sqrt(0.5));
    Quat out, q{0, 0, std::sin(0.25f), std::cos(0.25f)}, zero{5, 5, 5, 5}, none{0, 0, 0, 0};
    ComposeQuats(Quat{h, 0, 0, h}, Quat{0, h, 0, h}, out);
    EXPECT_LT(Off(out, {0.5f, 0.5f, -0.5f, 0.5f}), 1e-6);
    ComposeQuats(q, q, q);  // twice the angle, written over an input
    EXPECT_LT(Off(q, {0, 0, std::sin(0.5f), std::cos(0.5f)}), 1e-6);
    // A quarter turn about z: the usual matrix has +1 at m[1]; this layout has the transpose.
    float m[16];
    QuatToMatrix(m, Quat{0, 0, h, h});
    EXPECT_TRUE(std::abs(m[1] + 1) < 1e-6 && std::abs(m[4] - 1) < 1e-6 && std::abs(m[0]) < 1e-6 && m[15] == 1);
    // A zero axis has no direction: the identity, no division by zero; the cross product may write over an input.
    Vec3 axis, a{1, 0, 0}, b{0, 1, 0};
    AxisAngleToQuat(axis, 1.0f, zero);
    RenormalizeQuat(none);
    VecCross(a, b, a);
    EXPECT_TRUE(Off(zero, Quat{}) == 0 && !std::isnan(none.w) && a.x == 0 && a.z == 1);
}

TEST(Quats, DoubleTransformsScaleThenTurnThenMoveAndSlerpTheShortWay) {
    const double h = std::sqrt(0.5);
    const Quatd quarterZ{0, 0, h, h};
    // Scale 2 along x, a quarter turn about z (x to y), then up 10 in z; an unnormalised rotation turns alike.
    const Mat4d m = ComposeTransform({0, 0, 10}, {0, 0, 3 * h, 3 * h}, {2, 1, 1});
    const Vec3d p = TransformPoint(m, {1, 0, 0});
    EXPECT_LT(std::hypot(p.x, p.y - 2, p.z - 10), 1e-12) << p.x << "," << p.y << "," << p.z;
    // a times b applies b first: turn (1, 0, 0) to (0, 1, 0), then move it.
    const Mat4d moved = MultiplyMatrices(ComposeTransform({5, 0, 0}, {}, {1, 1, 1}), ComposeTransform({}, quarterZ, {1, 1, 1}));
    EXPECT_NEAR(TransformPoint(moved, {1, 0, 0}).x, 5, 1e-12);
    EXPECT_TRUE(ComposeTransform({}, {0, 0, 0, 0}, {1, 1, 1}) == kIdentityMat4d);
    struct Case {
        Quatd b;
        double u, wantZ, wantW;
    } cases[] = {
        {quarterZ, 0.5, std::sin(M_PI / 8), std::cos(M_PI / 8)},       // half of a quarter turn
        {{0, 0, -h, -h}, 0.5, std::sin(M_PI / 8), std::cos(M_PI / 8)},  // the same turn, written negated
        {quarterZ, 1, h, h},
        {{0, 0, 1e-3, 1}, 0.5, 5e-4, 1},  // nearly equal: blended straight
    };
    for (const Case& c : cases) {
        const Quatd q = SlerpQuats({}, c.b, c.u);
        EXPECT_LT(std::hypot(q.z - c.wantZ, q.w - c.wantW), 1e-12) << c.u << ": " << q.z << "," << q.w;
    }
}

}  // namespace
}  // namespace meshara
