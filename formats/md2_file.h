#pragma once
// MD2 model files: the header, texture coordinates, triangles, frames and
// skin names, checked against the file before anything is allocated. Frames
// are kept as the file stores them (a scale, a translation and four bytes a
// vertex); model/ decodes positions from them when they are needed.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/result.h"

namespace meshara {

inline constexpr std::array<uint8_t, 4> kMd2Magic = {'I', 'D', 'P', '2'};
constexpr size_t kMd2HeaderSize = 68;

struct Md2Triangle {
    // Corners in the record's order, which is the file's corners 0, 2, 1:
    // the winding is reversed at load time and every consumer relies on it.
    uint16_t vertex[3] = {0, 0, 0};                    // indices into each frame's vertices
    double texCoord[3][2] = {{0, 0}, {0, 0}, {0, 0}};  // (s, t) already divided by the header's skin size
};

// One stored vertex: a position in 0..255 steps of the frame's scale, and
// the index of a precomputed normal, which this program does not use (it
// computes smooth normals from the geometry).
struct Md2PackedVertex {
    uint8_t x = 0, y = 0, z = 0, normalIndex = 0;
};

struct Md2Frame {
    std::string name;  // as the file names it ("stand01"), up to 16 bytes
    float scale[3] = {1, 1, 1};
    float translate[3] = {0, 0, 0};
    std::vector<Md2PackedVertex> vertices;  // vertexCount of them
};

struct Md2File {
    int32_t vertexCount = 0;
    // The skin size the header gives, which the texture coordinates were
    // divided by (a negative side mirrors them; 0 only without triangles).
    int32_t skinWidth = 0, skinHeight = 0;
    // The pictures the file names as its skins (often a path inside a game's
    // folders, "models/monsters/x/skin.pcx"); only a hint where to look.
    std::vector<std::string> skinNames;
    std::vector<Md2Triangle> triangles;
    std::vector<Md2Frame> frames;
    // Triangle corners that name a texture coordinate the table does not
    // have; they use (0, 0), and the model is told to the user as it opens.
    int32_t cornersWithoutTexCoord = 0;
};

// Parses a whole file held in memory. Refuses with NotThisFormat when the magic is
// missing and with Damaged when any table the model needs does not lie
// inside the bytes or a triangle names a vertex outside its range.
Result<Md2File> ParseMd2(std::span<const uint8_t> bytes);

// What a model's header says it holds.
struct Md2Counts {
    int32_t vertices = 0, triangles = 0, frames = 0, skins = 0;
};

// The counts of the model at path, its header checked as ReadMd2File checks
// it; nothing past the header is read.
Result<Md2Counts> ReadMd2Counts(const std::string& path);

// What a model's file declares and how its tables hold together, beyond
// what a model keeps: the numbers the engine judges a model by before it
// draws it, and the GL commands it draws (which this program's loader never
// reads: it draws the triangles).
struct Md2Layout {
    int32_t skinWidth = 0, skinHeight = 0;
    Md2Counts declared;  // the header's counts; skins as declared, even when their table does not fit
    int32_t texCoords = 0, glCommands = 0;
    int32_t unterminatedSkinNames = 0;  // 64-byte names without a zero, which the engine reads on past
    // The GL commands, as triangles made of their strips and fans, against
    // the triangle table: triangles neither draws alike (corners compared as
    // a set of vertices), and why the commands cannot be followed to their end.
    int32_t glTriangles = 0, trianglesNotInGlCommands = 0, glTrianglesNotInTable = 0;
    std::string glCommandsProblem;
};

// The layout of a file that ParseMd2 takes; Damaged for one it would refuse.
Result<Md2Layout> ReadMd2Layout(std::span<const uint8_t> bytes);
// The header's counts and skin size alone (bytes holds at least the header), for a file too large to read on.
Md2Layout ReadMd2HeaderCounts(std::span<const uint8_t> header);

// Reads the file at path, only as far as its tables reach, and parses it;
// a header whose tables the file cannot hold is refused before anything
// past it is read. Only a regular file is read.
Result<Md2File> ReadMd2File(const std::string& path);

}  // namespace meshara
