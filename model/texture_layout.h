#pragma once
// Where a model's triangles fall on its skin, in pixels of the skin size the
// header gives (x right, y down, as the picture is stored): the edges a skin
// painter's template shows, which of them are seams, the corners that miss
// the skin, the triangle at a point and the triangles painted twice over.

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/md2_model.h"

namespace meshara {

struct SkinPoint {
    double x = 0, y = 0;
};

// A triangle's corners on the skin, in the record's corner order.
std::array<SkinPoint, 3> SkinCorners(const Md2Model& model, const Md2Triangle& triangle);

// Twice the signed area of the corners on the skin. A triangle whose picture
// lands on the model as painted runs counter-clockwise on the picture (the
// record's order is counter-clockwise on the screen, seen from outside), so
// its area here is negative; a positive one is mirrored.
double SkinTurn(const std::array<SkinPoint, 3>& corners);
inline bool IsMirrored(const std::array<SkinPoint, 3>& corners) { return SkinTurn(corners) > 0; }

enum class EdgeKind : uint8_t {
    AsPainted,  // of a triangle that shows the picture as painted
    Mirrored,   // of a triangle that shows it mirrored
    Seam,       // the model joins it to another triangle that takes other pixels along it
};

struct SkinEdge {
    SkinPoint a, b;
    EdgeKind kind = EdgeKind::AsPainted;
    int32_t triangle = 0;
};

// Every triangle's three edges, in the model's order. An edge is a seam when
// another triangle shares its two model vertices but gives either of them
// another texture coordinate.
std::vector<SkinEdge> SkinEdges(const Md2Model& model);

// Triangle corners outside the skin (the picture's rectangle, its border
// included), and how many pixels beyond its edge the farthest lies.
struct CornersOutside {
    int32_t count = 0;
    double farthest = 0;
};
CornersOutside CornersOutsideSkin(const Md2Model& model);

// The last triangle in the model's order that holds the point (its edges
// included), which is the one a layout draws on top; -1 for none.
int32_t TriangleAtSkinPoint(const Md2Model& model, SkinPoint point);

// Pairs of triangles (lower index first) facing the same way on the skin
// whose areas there overlap by more than kLeastOverlap square pixels, so
// that the same pixels are painted onto two places. A mirrored triangle over
// one as painted is the usual way to share a picture between two sides and
// is not counted. At most most pairs, in order of the first triangle; the
// time grows with the pairs whose boxes meet, which is all of them at worst.
inline constexpr double kLeastOverlap = 0.5;
std::vector<std::pair<int32_t, int32_t>> OverlappingTriangles(const Md2Model& model, size_t most = SIZE_MAX);

}  // namespace meshara
