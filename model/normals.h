#pragma once
// Smooth per-vertex normals, from the geometry alone: each non-degenerate
// face adds its unit normal to its three vertices, and each vertex gets the
// reversed, normalised average. A vertex no face reaches, or whose
// contributions cancel, gets (0, 0, 0). Computed when asked for, never at
// load: every frame at once would cost frames x triangles, which a small
// file can make take minutes. Whoever needs them often keeps them.

#include <cstdint>
#include <span>
#include <vector>

#include "model/md2_model.h"

namespace meshara {

// The normals of the model's triangles over the given positions (one per vertex).
std::vector<Vec3d> VertexNormals(const Md2Model& model, std::span<const Vec3d> positions);

// The normals of one frame; the frame must be in range.
std::vector<Vec3d> FrameNormals(const Md2Model& model, int32_t frame);

}  // namespace meshara
