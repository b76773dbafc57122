#pragma once

#include "model/md2_model.h"

namespace meshara {

// Smooth per-vertex normals for every frame, from the geometry alone: each
// non-degenerate face adds its unit normal to its three vertices, and each
// vertex gets the reversed, normalised average. A vertex no face reaches, or
// whose contributions cancel, keeps (0, 0, 0). Null or frameless: no-op.
void ComputeVertexNormals(Md2Model* model);

}  // namespace meshara
