#pragma once
// A model as read from another format, before it is fitted to MD2: one
// triangle list over vertices whose positions change frame by frame, in
// glTF's axes and metres (export/export_mesh.h), so glTF and OBJ arrive alike.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/skin_image.h"
#include "model/geometry.h"

namespace meshara {

struct SourceMesh {
    std::vector<uint32_t> indices;               // three per triangle, counter-clockwise seen from the front
    std::vector<std::array<float, 2>> texCoords;  // (u, v) per vertex, v growing downward in the picture
    std::vector<std::string> frameNames;         // one per frame
    std::vector<std::vector<Vec3d>> frames;      // each frame's position of every vertex
    int32_t textureWidth = 0, textureHeight = 0;  // of the picture the material shows; 0 when none tells
    std::shared_ptr<const SkinImage> texture;     // that picture, when the file holds it and it decodes
    size_t VertexCount() const { return texCoords.size(); }
};

// Frame names for a clip's frames: "<clip><NN>" from 01, the clip's name
// made to fit the 16-byte field and to be its own animation again
// (model/animations.h), different from previous when it would join it; a
// clip named as a part of the engine's numbering ("death2") gets the
// engine's names (death201, death202, ...).
std::vector<std::string> ClipFrameNames(const std::string& clip, size_t frames, const std::string& previous);

}  // namespace meshara
