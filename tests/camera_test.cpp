// The trackball camera's mouse rules, driven through a fake window.

#include <gtest/gtest.h>

#include <cmath>

#include "render/camera.h"

namespace meshara {
namespace {

class FakeView : public CameraHost {
public:
    bool HasCapture() const override { return captured; }
    void CaptureMouse() override { captured = true; }
    void ReleaseMouse() override { captured = false; }
    void RepaintNow() override { ++repaints; }
    void RequestRedraw() override { ++redraws; }
    Point ClientSize() const override { return size; }

    bool captured = false;
    int repaints = 0;
    int redraws = 0;
    Point size{200, 100};
};

class CameraDrag : public ::testing::Test {
protected:
    void SetUp() override {
        spinActive = 0;
        composeCount = 0;
    }
    bool IsIdentity(const Quat& q) { return q.x == 0 && q.y == 0 && q.z == 0 && q.w == 1; }
    Camera camera;
    FakeView view;
};

TEST_F(CameraDrag, LeftDragSetsASpinAndReleaseKeepsIt) {
    OnLeftButtonDown(camera, view, MouseLeft, {100, 50});
    EXPECT_EQ(camera.dragMode, DragRotateSpin);
    EXPECT_TRUE(view.captured);
    const int repaintsAfterPress = view.repaints;
    OnMouseMove(camera, view, MouseLeft, {150, 50});
    EXPECT_EQ(spinActive, 1);
    EXPECT_EQ(view.repaints, repaintsAfterPress) << "the idle loop repaints, not the move";
    EXPECT_LT(camera.spinStep.y, 0) << "dragging right turns about -y";
    EXPECT_TRUE(IsIdentity(camera.rotation)) << "the move itself does not turn the model";
    OnLeftButtonUp(camera, view, 0);
    EXPECT_EQ(camera.dragMode, DragNone);
    EXPECT_FALSE(view.captured);
    EXPECT_EQ(spinActive, 1);
    EXPECT_EQ(view.redraws, 1);
    SpinStep(camera, view);
    EXPECT_FALSE(IsIdentity(camera.rotation));
}

TEST_F(CameraDrag, ClickWithoutMovingStopsTheSpinAndLeavesTheModel) {
    spinActive = 1;
    camera.spinStep = Quat{0, 0.1f, 0, 0.995f};
    camera.rotation = Quat{0.2f, 0, 0, 0.98f};
    const Quat before = camera.rotation;
    OnLeftButtonDown(camera, view, MouseLeft, {10, 10});
    OnLeftButtonUp(camera, view, 0);
    EXPECT_EQ(spinActive, 0);
    EXPECT_TRUE(IsIdentity(camera.spinStep));
    EXPECT_EQ(camera.rotation.x, before.x);
    EXPECT_EQ(camera.rotation.w, before.w);
    EXPECT_EQ(view.repaints, 1);
}

TEST_F(CameraDrag, ShiftLeftZoomsWithoutTouchingTheSpin) {
    spinActive = 1;
    OnLeftButtonDown(camera, view, MouseLeft | MouseShift, {0, 60});
    EXPECT_EQ(camera.dragMode, DragZoom);
    EXPECT_EQ(spinActive, 1);
    OnMouseMove(camera, view, MouseLeft | MouseShift, {0, -40});  // up by the client height
    EXPECT_FLOAT_EQ(camera.zoom, 0.06f);
    OnMouseMove(camera, view, MouseLeft | MouseShift, {0, 60});  // down by the client height
    EXPECT_FLOAT_EQ(camera.zoom, 0.0f);
    camera.zoom = 0.03f;
    OnMouseMove(camera, view, MouseLeft | MouseShift, {0, 210});  // more than that: mirrored
    EXPECT_LT(camera.zoom, 0.0f);
}

TEST_F(CameraDrag, CtrlWinsOverShiftAndTurnsWithoutSpinning) {
    OnLeftButtonDown(camera, view, MouseLeft | MouseShift | MouseControl, {100, 50});
    EXPECT_EQ(camera.dragMode, DragRotate);
    const int repaints = view.repaints;
    OnMouseMove(camera, view, MouseLeft | MouseControl, {120, 40});
    EXPECT_EQ(spinActive, 0);
    EXPECT_EQ(view.repaints, repaints + 1);
    EXPECT_FALSE(IsIdentity(camera.rotation));
    EXPECT_FALSE(IsIdentity(camera.spinStep)) << "the last increment stays for later SpinStep calls";
}

TEST_F(CameraDrag, RotationClampsToTheClientAreaZoomDoesNot) {
    OnLeftButtonDown(camera, view, MouseLeft, {100, 50});
    OnMouseMove(camera, view, MouseLeft, {500, -300});
    EXPECT_EQ(camera.lastPoint.x, 199);
    EXPECT_EQ(camera.lastPoint.y, 0);
    OnLeftButtonUp(camera, view, 0);
    OnLeftButtonDown(camera, view, MouseLeft | MouseShift, {100, 50});
    OnMouseMove(camera, view, MouseLeft | MouseShift, {500, -300});
    EXPECT_EQ(camera.lastPoint.y, -300);
}

TEST_F(CameraDrag, RightDragPansAndWithLeftMovesAlongTheViewAxis) {
    OnRightButtonDown(camera, view, MouseRight | MouseControl, {10, 10});
    EXPECT_EQ(camera.dragMode, DragPan) << "Ctrl plays no part";
    EXPECT_EQ(view.repaints, 0);
    OnMouseMove(camera, view, MouseRight, {11, 10});
    EXPECT_FLOAT_EQ(camera.pan.x, 0.06f);
    OnMouseMove(camera, view, MouseRight, {11, 12});
    EXPECT_FLOAT_EQ(camera.pan.y, -0.12f);
    OnMouseMove(camera, view, MouseRight | MouseLeft, {30, 13});
    EXPECT_FLOAT_EQ(camera.pan.z, -0.06f);
    EXPECT_FLOAT_EQ(camera.pan.x, 0.06f) << "x is left alone along the view axis";
    EXPECT_EQ(camera.modelOffset.x, 0);
}

TEST_F(CameraDrag, ShiftRightMovesTheModelAroundItsCentre) {
    OnRightButtonDown(camera, view, MouseRight | MouseShift, {10, 10});
    EXPECT_EQ(camera.dragMode, DragOffset);
    OnMouseMove(camera, view, MouseRight, {12, 10});
    EXPECT_FLOAT_EQ(camera.modelOffset.x, 0.12f);
    EXPECT_EQ(camera.pan.x, 0);
}

TEST_F(CameraDrag, OtherButtonDuringADragIsIgnoredUntilBothAreUp) {
    OnLeftButtonDown(camera, view, MouseLeft, {100, 50});
    OnRightButtonDown(camera, view, MouseLeft | MouseRight, {100, 50});
    EXPECT_EQ(camera.dragMode, DragRotateSpin);
    OnLeftButtonUp(camera, view, MouseRight);
    EXPECT_EQ(camera.dragMode, DragEnding);
    EXPECT_TRUE(view.captured);
    const Quat step = camera.spinStep;
    OnMouseMove(camera, view, MouseRight, {10, 10});
    EXPECT_EQ(camera.spinStep.y, step.y) << "moves do nothing while ending";
    OnRightButtonUp(camera, view, 0);
    EXPECT_EQ(camera.dragMode, DragNone);
    EXPECT_FALSE(view.captured);
    EXPECT_EQ(view.redraws, 2);
}

TEST_F(CameraDrag, LosingTheCaptureEndsTheDragButNotTheSpin) {
    OnLeftButtonDown(camera, view, MouseLeft, {100, 50});
    OnMouseMove(camera, view, MouseLeft, {120, 50});
    view.captured = false;  // another window took it
    OnCaptureChanged(camera, view);
    EXPECT_EQ(camera.dragMode, DragNone);
    EXPECT_EQ(spinActive, 1);
    EXPECT_EQ(view.redraws, 1);
    OnCaptureChanged(camera, view);
    EXPECT_EQ(view.redraws, 1) << "no drag, nothing to end";
}

TEST_F(CameraDrag, MovesWithoutCaptureOrWithAnEmptyClientDoNothing) {
    camera.dragMode = DragZoom;
    OnMouseMove(camera, view, MouseLeft, {0, 0});
    EXPECT_FLOAT_EQ(camera.zoom, 0.03f);
    for (Point size : {Point{0, 100}, Point{200, 0}}) {
        Camera c;
        view.size = size;
        view.captured = false;
        OnLeftButtonDown(c, view, MouseLeft, {0, 0});
        OnMouseMove(c, view, MouseLeft, {5, 5});
        EXPECT_FALSE(std::isnan(c.spinStep.w));
        EXPECT_TRUE(IsIdentity(c.spinStep));
        OnLeftButtonUp(c, view, 0);
        OnLeftButtonDown(c, view, MouseLeft | MouseShift, {0, 0});
        OnMouseMove(c, view, MouseLeft | MouseShift, {5, 5});
        EXPECT_FLOAT_EQ(c.zoom, 0.03f);
        OnLeftButtonUp(c, view, 0);
    }
}

}  // namespace
}  // namespace meshara
