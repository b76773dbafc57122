#pragma once

#include <cstdint>
#include <vector>

#include "model/md2_model.h"

namespace meshara {

// Smooth per-vertex normals, from the geometry alone: each non-degenerate
// face adds its unit normal to its three vertices, and each vertex gets the
// reversed, normalised average. A vertex no face reaches, or whose
// contributions cancel, gets (0, 0, 0).

// The normals of one frame, computed when first asked for and kept; every
// later call returns the same values. The frame must be in range.
const std::vector<Vec3d>& FrameNormals(const Md2Model& model, int32_t frame);

// Computes the normals of every frame now. Null or frameless: no-op.
void ComputeVertexNormals(Md2Model* model);

}  // namespace meshara
