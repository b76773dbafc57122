#pragma once
// A source mesh fitted to MD2: positions in Quake's axes and units (the
// inverse of export/), vertices welded where every frame puts them in the
// same place, texture coordinates in skin pixels, each frame quantised in
// its own bounds with normals picked from the format's table, and GL
// commands (strips and fans) drawing every triangle once.

#include <cstdint>
#include <string>
#include <vector>

#include "convert/source_mesh.h"
#include "formats/md2_writer.h"
#include "io/result.h"

namespace meshara {

constexpr double kDefaultConvertScale = 32;  // Quake units per metre: the inverse of export's 1/32
constexpr int32_t kDefaultSkinSize = 256;    // when neither the file nor the user tells it

// What the game engines load; beyond, a model is refused unless asked.
struct Md2EngineLimits {
    static constexpr int32_t kVertices = 2048, kTriangles = 4096, kFrames = 512, kSkins = 32, kSkinName = 63;
};

struct Md2BuildOptions {
    double scale = kDefaultConvertScale;
    std::vector<std::string> skinNames;
    int32_t skinWidth = 0, skinHeight = 0;  // 0: the source's texture size, else kDefaultSkinSize
    bool ignoreEngineLimits = false;         // then only the format's own limits hold
};

struct Md2Built {
    Md2Output file;
    size_t strips = 0, fans = 0;
    double AverageStripLength() const {
        return strips + fans == 0 ? 0 : static_cast<double>(file.triangles.size()) / static_cast<double>(strips + fans);
    }
};

// The MD2, or DoesNotFit naming what does not fit: an engine limit (unless
// ignored), the format's own limits, positions that are not finite.
Result<Md2Built> BuildMd2(const SourceMesh& source, const Md2BuildOptions& options);

// GL commands drawing each of the file's triangles exactly once, with its
// own winding, as strips and fans over its corners (a vertex with its
// texture coordinate), ended by a zero; how many of each when asked.
std::vector<uint32_t> BuildGlCommands(const Md2Output& file, size_t* strips = nullptr, size_t* fans = nullptr);

}  // namespace meshara
