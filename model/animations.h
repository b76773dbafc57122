#pragma once
// Animations are not stored in MD2 files: exporters name frames "stand01",
// "stand02", ..., "run1", ... and a run of consecutive frames whose names
// share a stem is one animation. Real files dress the names up: "stand01 "
// with a trailing space, "run1.lwo" after the modeller's file, "pain_03".

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

// The animation a frame's name belongs to: the name without surrounding
// spaces, then without a trailing file extension (a dot and 1 to 4
// letters), then without trailing digits, separators (_ - .) and spaces:
// "pain301" -> "pain", " stand01 " -> "stand", "run1.lwo" -> "run",
// "crattak_03" -> "crattak", "Frame 1" -> "Frame".
std::string FrameStem(const std::string& frameName);

// Every frame in exactly one animation, in frame order: a run of frames of
// one stem, split where the stem's number jumps to L01 (L from 1) from
// anything but L00, as the engine numbers its parts (pain104, then
// pain201); where every number of the run is 101 or more, each part is
// named the stem and its hundreds ("pain1", "pain2", "pain3").
std::vector<Md2Animation> FindAnimations(std::span<const std::string> frameNames);

// Whether an animation plays once rather than looping: the deaths (death,
// crdeath, crdeth in any letter case), which end on the corpse. glTF export
// closes every other clip with a key back at its first frame; convert reads
// Meshara's older exports by the same rule.
bool PlaysOnce(const std::string& animationName);
// The frames the engine plays a player's body by, by number: 198 of them,
// named as its own models name them ("stand01"...,"run1"..., "pain101"...,
// "death308"). The engine reads no names, only numbers; tools show the names.
constexpr int32_t kPlayerFrameCount = 198;
const std::vector<std::string>& PlayerFrameNames();

// The index of the animation holding frame, or -1 when no animation does.
int32_t AnimationOfFrame(const std::vector<Md2Animation>& animations, int32_t frame);

}  // namespace meshara
