#include "model/animations.h"

#include <algorithm>

namespace meshara {

std::string FrameStem(const std::string& frameName) {
    size_t end = frameName.size();
    while (end > 0 && frameName[end - 1] >= '0' && frameName[end - 1] <= '9') --end;
    return frameName.substr(0, end);
}

std::vector<Md2Animation> FindAnimations(const Md2Model& model) {
    std::vector<Md2Animation> out;
    for (int32_t f = 0; f < model.FrameCount(); ++f) {
        std::string stem = FrameStem(model.frames[static_cast<size_t>(f)].name);
        if (!out.empty() && out.back().name == stem)
            out.back().last = f;
        else
            out.push_back({std::move(stem), f, f});
    }
    return out;
}

int32_t AnimationOfFrame(const std::vector<Md2Animation>& animations, int32_t frame) {
    for (size_t i = 0; i < animations.size(); ++i)
        if (frame >= animations[i].first && frame <= animations[i].last) return static_cast<int32_t>(i);
    return -1;
}

}  // namespace meshara

namespace meshara {

void Bounds::Add(const Vec3d& p) {
    if (empty) {
        min = max = p;
        empty = false;
        return;
    }
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

void Bounds::Add(const Bounds& other) {
    if (other.empty) return;
    Add(other.min);
    Add(other.max);
}

Bounds FrameBounds(const Md2Model& model, int32_t first, int32_t last) {
    Bounds box;
    for (int32_t f = std::max(first, 0); f <= std::min(last, model.FrameCount() - 1); ++f)
        for (const Vec3d& p : model.frames[static_cast<size_t>(f)].vertices) box.Add(p);
    return box;
}

}  // namespace meshara
