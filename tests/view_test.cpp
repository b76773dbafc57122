// The trackball: its math (worked figures, unit results over a sweep, the
// compose order, the matrix layout) and the camera's mouse rules, driven
// through a fake window.

#include <gtest/gtest.h>

#include <cmath>

#include "view/camera.h"
#include "view/vecmath.h"

namespace meshara {
namespace {

constexpr uint32_t L = MouseLeft, R = MouseRight, Shift = MouseShift, Ctrl = MouseControl;

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
    std::string State() const {
        return std::to_string(camera.dragMode) + (captured ? " captured" : " free") + " spin " +
               std::to_string(camera.spinning) + " " + std::to_string(repaints) + "/" + std::to_string(redraws);
    }
    static bool Near(const Vec3& v, Vec3 w) { return std::hypot(v.x - w.x, v.y - w.y, v.z - w.z) < 1e-6f; }
    static bool IsIdentity(const Quat& q) { return q.x == 0 && q.y == 0 && q.z == 0 && q.w == 1; }

    Camera camera;
    bool captured = false;
    int repaints = 0, redraws = 0;
    Point size{200, 100};
};

TEST_F(CameraDrag, LeftDragSpinsAfterReleaseAndAClickWithoutMovingStopsIt) {
    const float h = std::sqrt(0.5f);
    camera.rotation = Quat{h, 0, 0, h};  // already a quarter turn about x
    Left(L, {100, 50});
    Move(L, {150, 50});
    EXPECT_EQ(State(), "100 captured spin 1 1/0") << "the press repaints; the idle loop does, not the move";
    EXPECT_LT(camera.spinStep.y, 0) << "dragging right turns about -y";
    EXPECT_TRUE(camera.rotation.x == h && camera.rotation.y == 0) << "the move itself does not turn the model";
    OnLeftButtonUp(camera, *this, 0);
    EXPECT_EQ(State(), "0 free spin 1 1/1");
    SpinStep(camera, *this);
    const Quat turned = camera.rotation;
    EXPECT_LT(turned.z, 0) << "the step turns about the screen's -y, after the model's own turn";
    Left(L, {10, 10});
    OnLeftButtonUp(camera, *this, 0);
    EXPECT_EQ(State(), "0 free spin 0 3/2");
    EXPECT_TRUE(IsIdentity(camera.spinStep) && camera.rotation.y == turned.y && camera.rotation.w == turned.w);
}

TEST_F(CameraDrag, ShiftZoomsUnclampedAndCtrlWinsOverShiftTurningClampedWithoutSpin) {
    camera.spinning = true;
    Left(L | Shift, {0, 60});
    EXPECT_EQ(State(), "101 captured spin 1 0/0");
    // Up by the client height doubles; down by more goes negative (no clamping); down by it gives zero.
    for (auto [y, zoom] : {std::pair{-40, 0.06f}, {210, -0.09f}, {310, 0.0f}}) {
        Move(L | Shift, {500, y});
        EXPECT_FLOAT_EQ(camera.zoom, zoom) << y;
    }
    OnLeftButtonUp(camera, *this, 0);
    EXPECT_EQ(State(), "0 free spin 1 3/1");
    Left(L | Shift | Ctrl, {100, 50});
    Move(L | Ctrl, {120, 40});
    EXPECT_EQ(State(), "102 captured spin 0 5/1") << "the move repaints at once";
    EXPECT_FALSE(IsIdentity(camera.rotation) || IsIdentity(camera.spinStep)) << "the increment stays for SpinStep";
    Move(L | Ctrl, {500, -300});
    EXPECT_TRUE(camera.lastPoint.x == 199 && camera.lastPoint.y == 0);
}

TEST_F(CameraDrag, RightDragPansOrWithShiftMovesTheModelAroundItsCentre) {
    Right(R | Ctrl, {10, 10});
    EXPECT_EQ(State(), "200 captured spin 0 0/0") << "Ctrl plays no part";
    Move(R, {11, 12});      // 0.06 per pixel at the start zoom, y up
    Move(R | L, {30, 13});  // with left down too: along the view axis only
    EXPECT_TRUE(Near(camera.pan, {0.06f, -0.12f, -0.06f}));
    OnRightButtonUp(camera, *this, 0);
    Right(R | Shift, {10, 10});
    Move(R, {12, 10});
    EXPECT_TRUE(Near(camera.modelOffset, {0.12f, 0, 0}) && Near(camera.pan, {0.06f, -0.12f, -0.06f}));
}

TEST_F(CameraDrag, OtherButtonIsIgnoredUntilBothAreUpAndCaptureLossEndsTheDrag) {
    Left(L, {100, 50});
    Right(L | R, {100, 50});
    OnLeftButtonUp(camera, *this, R);
    Move(R, {10, 10});
    EXPECT_EQ(State(), "2 captured spin 0 1/1");
    EXPECT_TRUE(IsIdentity(camera.spinStep)) << "moves do nothing while ending";
    OnRightButtonUp(camera, *this, 0);
    EXPECT_EQ(State(), "0 free spin 0 1/2");
    Left(L, {100, 50});
    Move(L, {120, 50});
    captured = false;  // another window took it
    OnCaptureChanged(camera, *this);
    EXPECT_EQ(State(), "0 free spin 1 2/3") << "the spin goes on";
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
            Left(flags, {0, 0});
            Move(flags, {5, 5});
            EXPECT_TRUE(IsIdentity(camera.spinStep) && camera.zoom == 0.03f) << "no NaN, no change";
        }
}

TEST_F(CameraDrag, ADragWithoutAWindowTurnsAsTheMouseWouldAndALongSpinKeepsItsSize) {
    Camera byMouse;
    Left(L, {100, 50});
    Move(L, {130, 20});
    OnLeftButtonUp(camera, *this, 0);
    SpinStep(camera, *this);
    TurnByDrag(byMouse, {100, 50}, {130, 20}, size);
    EXPECT_TRUE(SameView(byMouse, Camera{.rotation = camera.rotation, .spinStep = camera.spinStep}));
    // Ten thousand small steps: the rotation stays a rotation, the model its size.
    for (int i = 0; i < 10000; ++i) AdvanceSpin(camera);
    const Quat& q = camera.rotation;
    EXPECT_NEAR(std::sqrt(double{q.x} * q.x + double{q.y} * q.y + double{q.z} * q.z + double{q.w} * q.w), 1.0, 1e-4);
}

void ExpectQuat(const Quat& q, double x, double y, double z, double w, double tolerance = 1e-6) {
    EXPECT_NEAR(q.x, x, tolerance);
    EXPECT_NEAR(q.y, y, tolerance);
    EXPECT_NEAR(q.z, z, tolerance);
    EXPECT_NEAR(q.w, w, tolerance);
}

TEST(Trackball, WorkedFiguresAndTheSamePointGivingExactIdentity) {
    EXPECT_NEAR(ProjectToTrackball(0.8f, 0.5f, 0), 0.6245, 1e-4);  // sphere inside
    EXPECT_NEAR(ProjectToTrackball(0.8f, 1, 0), 0.32, 1e-6);       // sheet outside
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
    // Pairs along one ray from the centre (inside, across and beyond the sphere
    // edge), neighbours a tiny step apart, and far corners: always a unit quaternion.
    const float steps[] = {0.0f, 1e-30f, 1e-7f, 0.1f, 0.5657f, 0.5658f, 0.9f, 1.0f, 1.5f};
    for (float a : steps)
        for (float b : steps)
            for (auto [dx, dy] : {std::pair{1.0f, 0.0f}, {0.6f, 0.8f}, {-1.0f, 1.0f}}) {
                TrackballQuat(q, a * dx, a * dy, b * dx, b * dy);
                const double len =
                    std::sqrt(double{q.x} * q.x + double{q.y} * q.y + double{q.z} * q.z + double{q.w} * q.w);
                ASSERT_NEAR(len, 1.0, 1e-5) << a << " -> " << b << " along " << dx << "," << dy;
            }
}

TEST(Quats, ComposeOrderMatrixLayoutAndZeroInputsFollowTheTrackball) {
    // Quarter turns about x and y do not commute; the cross product q2 x q1 fixes the sign of z.
    const float h = static_cast<float>(std::sqrt(0.5));
    Quat out;
    ComposeQuats(Quat{h, 0, 0, h}, Quat{0, h, 0, h}, out);
    ExpectQuat(out, 0.5, 0.5, -0.5, 0.5);
    Quat q{0, 0, std::sin(0.25f), std::cos(0.25f)};
    ComposeQuats(q, q, q);  // twice the angle, written over an input
    ExpectQuat(q, 0, 0, std::sin(0.5), std::cos(0.5));
    // A quarter turn about z: the usual matrix has +1 at m[1]; this layout has the transpose.
    float m[16];
    QuatToMatrix(m, Quat{0, 0, h, h});
    EXPECT_TRUE(std::abs(m[1] + 1) < 1e-6 && std::abs(m[4] - 1) < 1e-6 && std::abs(m[0]) < 1e-6 && m[15] == 1);
    // A zero axis has no direction: the identity, no division by zero.
    Vec3 zero;
    q = Quat{5, 5, 5, 5};
    AxisAngleToQuat(zero, 1.0f, q);
    ExpectQuat(q, 0, 0, 0, 1, 0);
    Quat none{0, 0, 0, 0};
    RenormalizeQuat(none);
    EXPECT_FALSE(std::isnan(none.w));
    Vec3 a{1, 0, 0}, b{0, 1, 0};
    VecCross(a, b, a);  // may write over an input
    EXPECT_TRUE(a.x == 0 && a.z == 1);
}

}  // namespace
}  // namespace meshara
