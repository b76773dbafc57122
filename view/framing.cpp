#include "view/framing.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace meshara {

namespace {
// The view's vertical field is 30 degrees, the eye 3 units from the origin
// and the near plane 1 unit from the eye (the projection and camera of the view).
constexpr double kEyeDistance = 3.0;
constexpr double kHalfFieldTan = 0.2679491924311227;  // tan(15 degrees), to the last bit
constexpr double kMargin = 0.9;        // the box fills at most 90% of the view
constexpr double kNearestFront = 1.5;  // the box's front stays well behind the near plane
}  // namespace

bool FitCamera(Camera& camera, const Bounds& box, int width, int height) {
    if (box.empty || width <= 0 || height <= 0) return false;
    const double aspect = static_cast<double>(width) / height;
    const double hx = (box.max.x - box.min.x) / 2, hy = (box.max.y - box.min.y) / 2, hz = (box.max.z - box.min.z) / 2;
    // With the model centred at the origin and unrotated, its front face is
    // nearest the eye and largest on screen: fit that face into the view,
    // upright and across, and keep it behind the near plane.
    const double room = kEyeDistance * kMargin * kHalfFieldTan;
    double zoom = std::numeric_limits<double>::max();
    if (hy + kMargin * kHalfFieldTan * hz > 0) zoom = std::min(zoom, room / (hy + kMargin * kHalfFieldTan * hz));
    if (hx + kMargin * kHalfFieldTan * aspect * hz > 0)
        zoom = std::min(zoom, room * aspect / (hx + kMargin * kHalfFieldTan * aspect * hz));
    if (hz > 0) zoom = std::min(zoom, (kEyeDistance - kNearestFront) / hz);
    if (zoom == std::numeric_limits<double>::max()) zoom = Camera{}.zoom;  // a single point: any size will do

    camera.rotation = Quat{};
    camera.spinStep = Quat{};
    camera.zoom = static_cast<float>(zoom);
    camera.pan = Vec3{};
    // The model turns about its own centre from now on.
    camera.modelOffset = Vec3{static_cast<float>(-(box.min.x + box.max.x) / 2),
                              static_cast<float>(-(box.min.y + box.max.y) / 2),
                              static_cast<float>(-(box.min.z + box.max.z) / 2)};
    camera.spinning = false;
    return true;
}

void ResetCamera(Camera& camera) {
    const Camera start;
    camera.rotation = start.rotation;
    camera.spinStep = start.spinStep;
    camera.zoom = start.zoom;
    camera.pan = start.pan;
    camera.modelOffset = start.modelOffset;
    camera.spinning = false;
}

}  // namespace meshara
