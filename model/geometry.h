#pragma once
// Points, boxes and the one exchange of axes between a model and GL.
//
// A model's axes are Quake's with y negated (the loader's rule): x forward,
// y right, z up. GL draws them as (x, z, y), so the model's z points up on
// the screen. Every place that hands a model's points to GL, or reasons
// about them as drawn, goes through ToGlAxes.

#include <algorithm>

namespace meshara {

struct Vec3d {
    double x = 0, y = 0, z = 0;
};

inline Vec3d ToGlAxes(const Vec3d& p) { return {p.x, p.z, p.y}; }

// An axis-aligned box; empty until a point is added.
struct Bounds {
    Vec3d min, max;
    bool empty = true;

    void Add(const Vec3d& p) {
        if (empty) {
            min = max = p;
            empty = false;
            return;
        }
        min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
        max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
    }
    void Add(const Bounds& other) {
        if (other.empty) return;
        Add(other.min);
        Add(other.max);
    }
    Vec3d Centre() const { return {(min.x + max.x) / 2, (min.y + max.y) / 2, (min.z + max.z) / 2}; }
};

}  // namespace meshara
