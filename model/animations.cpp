#include "model/animations.h"

namespace meshara {

std::string FrameStem(const std::string& frameName) {
    size_t end = frameName.size();
    while (end > 0 && frameName[end - 1] >= '0' && frameName[end - 1] <= '9') --end;
    return frameName.substr(0, end);
}

std::vector<Md2Animation> FindAnimations(std::span<const std::string> frameNames) {
    std::vector<Md2Animation> out;
    for (size_t f = 0; f < frameNames.size(); ++f) {
        std::string stem = FrameStem(frameNames[f]);
        const auto frame = static_cast<int32_t>(f);
        if (!out.empty() && out.back().name == stem)
            out.back().last = frame;
        else
            out.push_back({std::move(stem), frame, frame});
    }
    return out;
}

int32_t AnimationOfFrame(const std::vector<Md2Animation>& animations, int32_t frame) {
    for (size_t i = 0; i < animations.size(); ++i)
        if (frame >= animations[i].first && frame <= animations[i].last) return static_cast<int32_t>(i);
    return -1;
}

}  // namespace meshara
