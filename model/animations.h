#pragma once
// Animations are not stored in MD2 files: exporters name frames "stand01",
// "stand02", ..., "run1", ... and a run of consecutive frames whose names
// share a stem (the name without its trailing digits) is one animation.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace meshara {

// The rate models are made for: the engine steps their frames ten times a second.
constexpr double kFramesPerSecond = 10;

struct Md2Animation {
    std::string name;   // the shared stem, "stand"
    int32_t first = 0;  // first and last frame, inclusive
    int32_t last = 0;
    int32_t FrameCount() const { return last - first + 1; }
};

// The name without its trailing digits: "pain301" -> "pain".
std::string FrameStem(const std::string& frameName);

// Every frame in exactly one animation, in frame order.
std::vector<Md2Animation> FindAnimations(std::span<const std::string> frameNames);

// The index of the animation holding frame, or -1 when no animation does.
int32_t AnimationOfFrame(const std::vector<Md2Animation>& animations, int32_t frame);

}  // namespace meshara
