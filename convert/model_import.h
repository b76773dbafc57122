#pragma once
// glTF 2.0 (.glb, or .gltf with its buffers embedded or beside it) and
// Wavefront OBJ files read into a source mesh, from bytes: a reason for
// anything that cannot be read, nothing shown.
//
// glTF: one mesh, placed by its node's transforms; every animation of the
// file that moves it (through morph target weights, skins with the file's
// inverse bind matrices and linear blend skinning, its node's or its
// joints' transforms or those of their ancestors) is sampled at a fixed
// rate from the clip's start to its end, both included. A loop's closing
// key (its first frame again) is dropped where the file is Meshara's export
// and the clip one it closes: marked so in the clip's extras, or, from its
// exports before the mark, any clip but a death. Every other clip keeps
// every frame, even when its last equals its first.
// The JSON is bounded before it is parsed (gltf_json_scan.h). OBJ: one
// frame, its faces fanned into triangles.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "convert/source_mesh.h"
#include "io/result.h"

namespace meshara {

// Hands over a file a glTF names (a buffer's or a picture's uri, as the file
// writes it with its percent escapes decoded): the whole of it when it holds
// at most `most` bytes, or why not (missing, not a regular file, outside
// where the glTF may reach, larger than `most`). Any store of files can
// stand behind it: a folder on the disk, an archive, memory.
using ExternalFileReader = std::function<Result<std::vector<uint8_t>>(const std::string& uri, uint64_t most)>;

struct GltfReadOptions {
    std::string mesh;                     // the mesh or its node, by name; empty: the file's only one
    std::vector<std::string> animations;  // the clips, in this order; empty: every clip that moves the mesh
    double framesPerSecond = 10;
    // Where external files come from. A buffer is asked for no more than the
    // length the file gives it and must hold exactly that; a picture no more
    // than a skin may take, and one that cannot be had leaves the mesh without
    // its texture. Null: a buffer in an external file refuses the file.
    ExternalFileReader readExternal;
};

// The largest glTF read, and the largest buffer it may name.
constexpr uint64_t kMaxGltfBytes = uint64_t{1} << 31;

// The most a model read may hold: vertices times frames (400 MB of
// positions; faerie's frames repeated 64 times need 12.7 million).
constexpr uint64_t kMaxSourcePositions = uint64_t{1} << 24;

Result<SourceMesh> ReadGltf(std::span<const uint8_t> bytes, const GltfReadOptions& options);

Result<SourceMesh> ReadObj(std::span<const uint8_t> bytes);

}  // namespace meshara
