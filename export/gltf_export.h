#pragma once
// A model as one glTF 2.0 asset: one mesh holding the triangles, texture
// coordinates and the first frame, one morph target per further frame, and
// one animation per animation of the model whose weights step through its
// frames, blending linearly between neighbours. The weights are sparse (a
// key stores only the one weight that is not zero), so the file grows with
// the frames, not their square. Axes and units as in export/export_mesh.h.
// The file is written as it is made, frame after frame, so what the export
// holds in memory does not grow with it: only the model and its first
// frame's arrays. The parts that do not grow (the asset, the material and
// picture, the node) are tinygltf's; the rest is laid out as tinygltf lays
// out a document.

#include <cstdint>
#include <string>
#include <vector>

#include "export/export_mesh.h"
#include "formats/skin_image.h"
#include "io/file_bytes.h"
#include "io/result.h"
#include "model/animations.h"
#include "model/md2_model.h"

namespace meshara {

struct GltfExportOptions {
    bool binary = true;  // .glb; false writes .gltf text with the buffer and picture as data URIs
    double scale = kDefaultExportScale;
    double framesPerSecond = kFramesPerSecond;
    // The animations written, in this order (FindAnimations gives them all).
    // A model with one frame gets none, having nothing to move between.
    std::vector<Md2Animation> animations;
    // Animations (by name) that play once, such as a death: every other clip
    // ends on a key back at its first frame, for players that loop clips.
    std::vector<std::string> oneShots;
    const SkinImage* texture = nullptr;  // embedded as PNG with a material that uses it
};

// The animations of a model that play once in the game: its deaths ("death",
// "death1", ... and the crouched "crdeath", "crdeth" of player models).
std::vector<std::string> DefaultOneShots(const Md2Model& model);

// Writes the file into sink, or says why not: DoesNotFit with the reason
// (a model without frames or triangles, positions that are not finite, an
// animation whose weights could not be counted in 32 bits, a buffer beyond
// kMaxGltfBuffer, a .glb past the 4 GiB its header can count), found before
// anything is written but for the last; the sink's own failure otherwise.
Status ExportGltf(const Md2Model& model, const GltfExportOptions& options, ByteSink& sink);

// The file's bytes, made in memory.
Result<std::vector<uint8_t>> ExportGltf(const Md2Model& model, const GltfExportOptions& options);

// Largest buffer written. A glb counts its length in 32 bits.
constexpr uint64_t kMaxGltfBuffer = uint64_t{1} << 30;

}  // namespace meshara
