#pragma once
// Inside convert/ only: a glTF's JSON looked over before tinygltf parses
// it. tinygltf turns JSON into its own values by recursion and gives every
// node, accessor or material hundreds of bytes, so a small file can exhaust
// the stack or the memory; the scan bounds both from the text alone.

#include <cstdint>
#include <map>
#include <span>
#include <string>

#include "io/result.h"

namespace meshara::gltf {

inline constexpr int kMaxJsonDepth = 64;                       // arrays and objects within one another
inline constexpr uint64_t kMaxJsonEntries = uint64_t{1} << 16;  // in each of the root's lists: nodes, meshes, materials...
inline constexpr uint64_t kMaxJsonObjects = uint64_t{1} << 18;  // in all: those, channels, primitives and the like
inline constexpr uint64_t kMaxJsonValues = uint64_t{1} << 20;   // numbers, strings, arrays and objects, in all

struct JsonOutline {
    // The length each buffer with a uri gives itself, by that uri as tinygltf
    // asks for the file (JSON escapes and percent escapes decoded); the
    // longest where several buffers name one file.
    std::map<std::string, uint64_t> bufferLengths;
};

// Scans the JSON of a .gltf, or the JSON chunk of a .glb (told by its first
// bytes), minding strings and their escapes. Refuses deeper nesting, longer
// lists, or more objects or values than the bounds above; does not check
// that the JSON is well formed (the parser does).
Result<JsonOutline> ScanGltfJson(std::span<const uint8_t> file);

}  // namespace meshara::gltf
