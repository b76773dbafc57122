#pragma once
// glTF 2.0 (.glb, or .gltf with its buffers embedded or beside it) and
// Wavefront OBJ files read into a source mesh, from bytes: a reason for
// anything that cannot be read, nothing shown.
//
// glTF: one mesh, placed by its node's transforms; every animation of the
// file moves it through morph target weights, skins (linear blend skinning
// with the file's inverse bind matrices) and node transforms, sampled at a
// fixed rate from the clip's start to its end, both included. A clip that
// ends where it started (a loop's closing key) does not repeat its first
// frame. OBJ: one frame, its faces fanned into triangles.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "convert/source_mesh.h"
#include "io/result.h"

namespace meshara {

struct GltfReadOptions {
    std::string mesh;                     // the mesh or its node, by name; empty: the file's only one
    std::vector<std::string> animations;  // the clips, in this order; empty: every clip in the file's order
    double framesPerSecond = 10;
    std::string folder;                   // where a .gltf's external files lie; empty: none are read
};

// The most a model read may hold: vertices times frames (400 MB of
// positions; faerie's frames repeated 64 times need 12.7 million).
constexpr uint64_t kMaxSourcePositions = uint64_t{1} << 24;

Result<SourceMesh> ReadGltf(std::span<const uint8_t> bytes, const GltfReadOptions& options);

Result<SourceMesh> ReadObj(std::span<const uint8_t> bytes);

}  // namespace meshara
