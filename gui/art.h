#pragma once
// The program's own pictures, drawn in code so they need no image files:
// the window icon and the About picture.

#include <cstdint>
#include <vector>

namespace meshara {

constexpr int kIconSize = 32;
constexpr int kAboutWidth = 216;
constexpr int kAboutHeight = 79;

// The icon's ring in 32-unit coordinates around (16, 16).
constexpr double kIconRingRadius = 10.5;
constexpr double kIconRingThickness = 8;

struct Shade {
    double r, g, b;  // 0..1, may run past 1 where the highlight is brightest
};

// The ring's colour at a point of its tube: across runs from -1 (inner edge)
// through 0 (the middle) to 1 (outer edge), angle from +x toward +y (down).
// The pictures below and the scalable icon are all shaded by this.
Shade RingShade(double across, double angle);

// size x size RGBA, top row first: a shaded ring, the emblem of the sample
// knot. The window uses 32 x 32; desktops get it at their usual sizes.
std::vector<uint8_t> IconPixels(int size = kIconSize);

// 216 x 79 RGB, top row first: a dusk gradient with the emblem at the left;
// the window layer writes the program's name beside it.
std::vector<uint8_t> AboutPixels();

}  // namespace meshara
