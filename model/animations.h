#pragma once
// Animations are not stored in MD2 files: exporters name frames "stand01",
// "stand02", ..., "run1", ... and a run of consecutive frames whose names
// share a stem (the name without its trailing digits) is one animation.

#include <cstdint>
#include <string>
#include <vector>

#include "model/md2_model.h"

namespace meshara {

struct Md2Animation {
    std::string name;   // the shared stem, "stand"
    int32_t first = 0;  // first and last frame, inclusive
    int32_t last = 0;
    int32_t FrameCount() const { return last - first + 1; }
};

// The name without its trailing digits: "pain301" -> "pain".
std::string FrameStem(const std::string& frameName);

// Every frame in exactly one animation, in frame order.
std::vector<Md2Animation> FindAnimations(const Md2Model& model);

// The index of the animation holding frame, or -1 when no animation does.
int32_t AnimationOfFrame(const std::vector<Md2Animation>& animations, int32_t frame);

}  // namespace meshara

namespace meshara {

// The box around a model's positions over frames first..last (clamped to
// the model's frames), in the model's own axes; empty when no frame is in range.
struct Bounds {
    Vec3d min, max;
    bool empty = true;
    void Add(const Vec3d& p);
    void Add(const Bounds& other);
};
Bounds FrameBounds(const Md2Model& model, int32_t first, int32_t last);

}  // namespace meshara
