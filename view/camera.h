#pragma once
// The trackball camera and its mouse rules. The handlers take plain inputs
// (button and modifier flags, points, the client size) and talk to the
// window through CameraHost, so the drag rules run without a window.

#include <cstdint>

#include "view/vecmath.h"

namespace meshara {

enum DragMode : int32_t {
    DragNone = 0,
    DragEnding = 2,        // one button released while the other is still down: capture kept
    DragRotateSpin = 100,  // left: trackball, goes on spinning after release
    DragZoom = 101,        // left + Shift
    DragRotate = 102,      // left + Ctrl (Ctrl wins over Shift): trackball without spin
    DragPan = 200,         // right: move pan (along the view axis while left is down too)
    DragOffset = 201,      // right + Shift: move the model around its centre of rotation
};

// Modifier and button flags of a mouse event.
enum MouseFlags : uint32_t {
    MouseLeft = 1u << 0,
    MouseRight = 1u << 1,
    MouseShift = 1u << 2,
    MouseControl = 1u << 3,
};

struct Point {
    int32_t x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

// The window a camera lives in.
class CameraHost {
public:
    virtual ~CameraHost() = default;
    virtual bool HasCapture() const = 0;
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;
    virtual void RepaintNow() = 0;     // paints the view before returning
    virtual void RequestRedraw() = 0;  // repaints the whole main window before returning
    virtual Point ClientSize() const = 0;
};

struct Camera {
    int32_t dragMode = DragNone;
    Point lastPoint;
    Quat rotation;          // orientation of every model
    Quat spinStep;          // applied by each SpinStep
    float zoom = 0.03f;     // uniform scale
    Vec3 pan;               // after the scale, in eye-aligned axes
    Vec3 modelOffset;       // before the rotation
    bool spinning = false;  // while set, every idle pass calls SpinStep
    // Spin steps since the rotation was last renormalised: every 51st
    // step pulls it back toward unit length.
    int32_t compositions = 0;
};

// The view the camera gives (orientation, scale and offsets), whatever a
// drag or the spin is doing.
bool SameView(const Camera& a, const Camera& b);

void OnLeftButtonDown(Camera& camera, CameraHost& host, uint32_t flags, Point point);
void OnRightButtonDown(Camera& camera, CameraHost& host, uint32_t flags, Point point);
void OnMouseMove(Camera& camera, CameraHost& host, uint32_t flags, Point point);
void OnLeftButtonUp(Camera& camera, CameraHost& host, uint32_t flags);
void OnRightButtonUp(Camera& camera, CameraHost& host, uint32_t flags);
void OnCaptureChanged(Camera& camera, CameraHost& host);

// Turns rotation by spinStep and repaints at once.
void SpinStep(Camera& camera, CameraHost& host);

// The rotation only (no repaint), for callers without a window.
void AdvanceSpin(Camera& camera);

// The turn a left drag from one window point to another gives in a client
// of the given size; the end point is kept inside the client first.
Quat DragTurn(Point from, Point to, Point clientSize);

// Turns the camera once by the drag, as a left drag from `from` to `to`
// released there would, without spinning on: for callers without a window.
void TurnByDrag(Camera& camera, Point from, Point to, Point clientSize);

// The view's keys, each step what a mouse drag of kKeyStepPixels does, so
// the keys and the mouse agree on how far one movement goes. steps counts
// those drags right and down (negative: left and up).
constexpr int32_t kKeyStepPixels = 10;
// A Ctrl+left drag from the client's centre: the spin and its step are left
// as they are, so a key never starts, stops or changes a spin.
void TurnByKey(Camera& camera, Point steps, Point clientSize);
// A right drag: pan in the view plane.
void MoveByKey(Camera& camera, Point steps);
// In: a Shift+left drag upward, zoom x (1 + 10 / h); out divides by the
// same, so in and out cancel and the zoom never reaches 0.
void ZoomByKey(Camera& camera, bool in, Point clientSize);

}  // namespace meshara
