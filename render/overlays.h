#pragma once
// What Rendering > Show draws over the models once their passes are done:
// normals, bounding boxes and a floor grid. Lines only, in flat colours,
// untextured and unlit, tested against the models' depth without writing
// it; every GL state they touch is put back as the passes left it.

#include <cstdint>

#include "model/geometry.h"
#include "render/scene.h"
#include "render/submission.h"

namespace meshara {

// The colours, RGB 0..1.
inline constexpr float kNormalColour[3] = {0.0f, 1.0f, 1.0f};
inline constexpr float kFrameBoxColour[3] = {1.0f, 1.0f, 0.0f};
inline constexpr float kAnimationBoxColour[3] = {1.0f, 0.5f, 0.0f};
inline constexpr float kGridColour[3] = {0.55f, 0.55f, 0.55f};       // every 8 units
inline constexpr float kMajorGridColour[3] = {0.85f, 0.85f, 0.85f};  // every 32
inline constexpr float kHighlightColour[3] = {1.0f, 0.31f, 0.0f};      // as the skin layout shows it

// A normal's line is this share of the largest side of its model's
// animation box: long enough to read, short enough not to hide the model.
constexpr double kNormalLengthShare = 0.05;
double NormalLength(const Bounds& animationBox);

// The floor: a square of lines in GL's x-z plane at height y, centred on
// (centreX, centreZ), reaching radius out each way. Lines fall on multiples
// of step Quake units (8; coarser for models so big that 8 would give more
// than 64 lines a side) and every fourth is a major one. Its brightness
// fades to nothing at radius from the centre.
struct FloorGrid {
    double y = 0, centreX = 0, centreZ = 0, radius = 0, step = 8;
    bool empty = true;
};
// The floor under boxes given in GL's axes: at their lowest point, centred
// under them on a major line, reaching out past them by at least one major
// step.
FloorGrid FloorUnder(const Bounds& glBox);

// Draws the scene's show items for every model that has the shared frame;
// the camera transform must be in place.
void DrawShowItems(const Scene& scene, ModelArrayCache& arrays, SubmissionPath path);

// Draws the scene's highlighted triangle, half filled and outlined, over
// everything (it may face away or lie behind), where the pose puts it.
void DrawHighlight(const Scene& scene, ModelArrayCache& arrays, SubmissionPath path);

}  // namespace meshara
