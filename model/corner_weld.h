#pragma once
// A model's triangle corners as one indexed vertex list. MD2 gives each
// corner two indices, one for the position and one for the texture
// coordinate; GL's arrays and glTF have one. Corners that share a model
// vertex and the same texture coordinate (its exact float bits) become one
// vertex, so they are transformed and lit once and weld alike in the viewer
// and in every export.

#include <array>
#include <cstdint>
#include <vector>

#include "model/md2_model.h"

namespace meshara {

struct CornerWeld {
    std::vector<uint32_t> indices;                // three per triangle, the model's triangle order and winding
    std::vector<uint16_t> modelVertex;            // the model vertex each welded vertex stands for
    std::vector<std::array<float, 2>> texCoords;  // (s, t) of each welded vertex; t grows downward in the picture
};

CornerWeld WeldCorners(const Md2Model& model);

}  // namespace meshara
