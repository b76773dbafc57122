// The trackball camera's mouse rules, driven through a fake window.

#include <gtest/gtest.h>

#include <cmath>

#include "render/camera.h"

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
    void SetUp() override { spinActive = composeCount = 0; }
    void Left(uint32_t flags, Point p) { OnLeftButtonDown(camera, *this, flags, p); }
    void Right(uint32_t flags, Point p) { OnRightButtonDown(camera, *this, flags, p); }
    void Move(uint32_t flags, Point p) { OnMouseMove(camera, *this, flags, p); }
    std::string State() const {
        return std::to_string(camera.dragMode) + (captured ? " captured" : " free") + " spin " +
               std::to_string(spinActive) + " " + std::to_string(repaints) + "/" + std::to_string(redraws);
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
    spinActive = 1;
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

}  // namespace
}  // namespace meshara
