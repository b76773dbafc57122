#include "gui/art.h"

#include <algorithm>
#include <cmath>

namespace meshara {

namespace {

// A ring lit from the upper right: returns coverage (0..1) and its shade.
// scale: device pixels per unit, so the anti-aliased edge stays one pixel wide.
double Ring(double x, double y, double radius, double thickness, Shade& shade, double scale = 1.0) {
    const double d = std::sqrt(x * x + y * y);
    const double edge = thickness / 2 - std::fabs(d - radius);
    const double coverage = std::clamp(edge * scale + 0.5, 0.0, 1.0);
    if (coverage <= 0) return 0;
    shade = RingShade((d - radius) / (thickness / 2), std::atan2(y, x));
    return coverage;
}

uint8_t Byte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v * 255), 0L, 255L)); }

}  // namespace

Shade RingShade(double across, double angle) {
    across = std::clamp(across, -1.0, 1.0);
    // Tube normal: across the ring and out of the picture.
    const double nx = across * std::cos(angle), ny = across * std::sin(angle);
    const double nz = std::sqrt(std::max(0.0, 1 - across * across));
    const double light = std::max(0.0, (nx * 0.6 - ny * 0.6 + nz * 0.53));
    const double band = 0.5 + 0.5 * std::sin(angle * 3);  // orange to blue along the ring
    return {(0.95 * band + 0.25 * (1 - band)) * light + 0.08, (0.45 * band + 0.5 * (1 - band)) * light + 0.05,
            (0.15 * band + 0.95 * (1 - band)) * light + 0.1};
}

std::vector<uint8_t> IconPixels(int size) {
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(size) * size * 4);
    // Drawn in 32-pixel units and scaled, so every size shows the same ring.
    const double unit = size / 32.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            Shade c{};
            const double a = Ring((x + 0.5) / unit - 16, (y + 0.5) / unit - 16, kIconRingRadius, kIconRingThickness, c, unit);
            out.insert(out.end(), {Byte(c.r), Byte(c.g), Byte(c.b), Byte(a)});
        }
    return out;
}

std::vector<uint8_t> AboutPixels() {
    std::vector<uint8_t> out;
    out.reserve(kAboutWidth * kAboutHeight * 3);
    for (int y = 0; y < kAboutHeight; ++y)
        for (int x = 0; x < kAboutWidth; ++x) {
            const double t = static_cast<double>(y) / (kAboutHeight - 1);
            Shade sky{0.10 + 0.15 * t, 0.12 + 0.05 * t, 0.25 - 0.1 * t};
            Shade c{};
            const double a = Ring(x + 0.5 - 40, y + 0.5 - 39.5, 25, 14, c);
            out.insert(out.end(), {Byte(sky.r * (1 - a) + c.r * a), Byte(sky.g * (1 - a) + c.g * a),
                                   Byte(sky.b * (1 - a) + c.b * a)});
        }
    return out;
}

}  // namespace meshara
