#include "view/camera.h"

#include <algorithm>
#include <cstring>

namespace meshara {

namespace {

bool IsDragging(int32_t mode) {
    return mode == DragRotateSpin || mode == DragZoom || mode == DragRotate || mode == DragPan || mode == DragOffset;
}

// Window point to trackball coordinates, -1..1 left to right and bottom to top.
void Normalise(Point p, Point size, float& x, float& y) {
    x = static_cast<float>((2.0 * p.x - size.x) / size.x);
    y = static_cast<float>((static_cast<double>(size.y) - 2.0 * p.y) / size.y);
}

Point Clamped(Point p, Point size) { return {std::clamp(p.x, 0, size.x - 1), std::clamp(p.y, 0, size.y - 1)}; }

void MoveVector(Vec3& v, float zoom, uint32_t flags, Point from, Point to) {
    if (flags & MouseLeft) {
        v.z = static_cast<float>(v.z - 2.0 * zoom * (to.y - from.y));
    } else {
        v.x = static_cast<float>(v.x + 2.0 * zoom * (to.x - from.x));
        v.y = static_cast<float>(v.y - 2.0 * zoom * (to.y - from.y));
    }
}

// Ends a drag on the release of one button while the other may still be down.
void ButtonUp(Camera& camera, CameraHost& host, uint32_t flags, bool left) {
    if (!host.HasCapture() || camera.dragMode == DragNone) return;
    const bool mine = left ? (camera.dragMode == DragRotateSpin || camera.dragMode == DragZoom ||
                              camera.dragMode == DragRotate)
                           : (camera.dragMode == DragPan || camera.dragMode == DragOffset);
    if (mine) camera.dragMode = DragEnding;
    if (camera.dragMode != DragEnding) return;
    const uint32_t other = left ? MouseRight : MouseLeft;
    if (!(flags & other)) {
        camera.dragMode = DragNone;  // before the release, so the capture-changed handler sees no drag
        host.ReleaseMouse();
    }
    host.RequestRedraw();
}

}  // namespace

void OnLeftButtonDown(Camera& camera, CameraHost& host, uint32_t flags, Point point) {
    if (camera.dragMode != DragNone) return;
    camera.lastPoint = point;
    camera.dragMode = (flags & MouseControl) ? DragRotate : (flags & MouseShift) ? DragZoom : DragRotateSpin;
    if (camera.dragMode != DragZoom) {
        TrackballQuat(camera.spinStep, 0, 0, 0, 0);
        host.RepaintNow();
        camera.spinning = false;
    }
    host.CaptureMouse();
}

void OnRightButtonDown(Camera& camera, CameraHost& host, uint32_t flags, Point point) {
    if (camera.dragMode != DragNone) return;
    camera.lastPoint = point;
    camera.dragMode = (flags & MouseShift) ? DragOffset : DragPan;
    host.CaptureMouse();
}

void OnMouseMove(Camera& camera, CameraHost& host, uint32_t flags, Point point) {
    if (!host.HasCapture() || !IsDragging(camera.dragMode)) return;
    const Point size = host.ClientSize();
    // A collapsed view has no coordinates to normalise against.
    if (size.x <= 0 || size.y <= 0) return;

    switch (camera.dragMode) {
        case DragRotateSpin:
        case DragRotate: {
            camera.spinStep = DragTurn(camera.lastPoint, point, size);
            if (camera.dragMode == DragRotateSpin) {
                camera.spinning = true;  // the idle loop turns and repaints
            } else {
                SpinStep(camera, host);
                camera.spinning = false;
            }
            camera.lastPoint = Clamped(point, size);
            break;
        }
        case DragZoom:
            camera.zoom = static_cast<float>(camera.zoom * (1.0 + double(camera.lastPoint.y - point.y) / size.y));
            host.RepaintNow();
            camera.lastPoint = point;
            break;
        case DragPan:
        case DragOffset:
            MoveVector(camera.dragMode == DragPan ? camera.pan : camera.modelOffset, camera.zoom, flags,
                       camera.lastPoint, point);
            host.RepaintNow();
            camera.lastPoint = point;
            break;
        default: break;
    }
}

void OnLeftButtonUp(Camera& camera, CameraHost& host, uint32_t flags) { ButtonUp(camera, host, flags, true); }

void OnRightButtonUp(Camera& camera, CameraHost& host, uint32_t flags) { ButtonUp(camera, host, flags, false); }

void OnCaptureChanged(Camera& camera, CameraHost& host) {
    if (camera.dragMode == DragNone) return;
    camera.dragMode = DragNone;
    host.RequestRedraw();
}

bool SameView(const Camera& a, const Camera& b) {
    const auto same = [](const auto& u, const auto& v) { return std::memcmp(&u, &v, sizeof u) == 0; };
    return same(a.rotation, b.rotation) && same(a.spinStep, b.spinStep) && a.zoom == b.zoom && same(a.pan, b.pan) &&
           same(a.modelOffset, b.modelOffset) && a.spinning == b.spinning;
}

namespace {
void Compose(Camera& camera, const Quat& turn) {
    ComposeQuats(turn, camera.rotation, camera.rotation);
    if (++camera.compositions > 50) {
        camera.compositions = 0;
        RenormalizeQuat(camera.rotation);
    }
}
}  // namespace

void AdvanceSpin(Camera& camera) { Compose(camera, camera.spinStep); }

Quat DragTurn(Point from, Point to, Point size) {
    float x1, y1, x2, y2;
    Normalise(from, size, x1, y1);
    Normalise(Clamped(to, size), size, x2, y2);
    Quat turn;
    TrackballQuat(turn, x1, y1, x2, y2);
    return turn;
}

void TurnByDrag(Camera& camera, Point from, Point to, Point size) {
    camera.spinStep = DragTurn(from, to, size);
    AdvanceSpin(camera);
}

void TurnByKey(Camera& camera, Point steps, Point size) {
    if (size.x <= 0 || size.y <= 0) return;
    const Point centre{size.x / 2, size.y / 2};
    Compose(camera, DragTurn(centre, {centre.x + kKeyStepPixels * steps.x, centre.y + kKeyStepPixels * steps.y}, size));
}

void MoveByKey(Camera& camera, Point steps) {
    MoveVector(camera.pan, camera.zoom, 0, {0, 0}, {kKeyStepPixels * steps.x, kKeyStepPixels * steps.y});
}

void ZoomByKey(Camera& camera, bool in, Point size) {
    if (size.y <= 0) return;
    const double factor = 1.0 + double(kKeyStepPixels) / size.y;
    camera.zoom = static_cast<float>(in ? camera.zoom * factor : camera.zoom / factor);
}

void SpinStep(Camera& camera, CameraHost& host) {
    AdvanceSpin(camera);
    host.RepaintNow();
}

}  // namespace meshara
