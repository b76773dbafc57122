#pragma once
// Builds MD2 files from plain values, for tests, fuzz seeds and the sample.
// The writer lays the tables out the way common exporters do (header, skin
// names, texture coordinates, triangles, frames, GL commands) and fills the
// header offsets from that layout; tests then patch single fields to make
// damaged variants.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace meshara::fixtures {

struct Md2Source {
    struct Triangle {
        uint16_t vertex[3];    // file corners 0, 1, 2
        uint16_t texCoord[3];
    };
    struct Frame {
        float scale[3] = {1, 1, 1};
        float translate[3] = {0, 0, 0};
        std::string name = "frame";
        std::vector<std::array<uint8_t, 4>> vertices;  // X, Y, Z, normal index
    };

    int32_t version = 8;
    int32_t skinWidth = 256;
    int32_t skinHeight = 256;
    std::vector<std::string> skins;
    std::vector<std::array<int16_t, 2>> texCoords;  // (s, t) in skin pixels
    std::vector<Triangle> triangles;
    std::vector<Frame> frames;
    // Vertices per frame; -1 takes the size of the first frame (0 without frames).
    int32_t vertexCount = -1;
    // GL commands drawing every triangle as a strip of its own, as the game
    // draws them; otherwise only the terminating zero.
    bool glCommands = false;
};

// Header field offsets, for patching.
namespace md2field {
inline constexpr size_t kVersion = 4, kSkinWidth = 8, kSkinHeight = 12, kFrameSize = 16, kSkinCount = 20,
                        kVertexCount = 24, kTexCoordCount = 28, kTriangleCount = 32, kGlCommandCount = 36,
                        kFrameCount = 40, kSkinsOffset = 44, kTexCoordOffset = 48, kTrianglesOffset = 52,
                        kFramesOffset = 56, kGlCommandsOffset = 60, kEndOffset = 64;
}

std::vector<uint8_t> WriteMd2(const Md2Source& source);

// A valid file that is all tables: one vertex, one texture coordinate,
// triangleCount triangles and frameCount frames whose tables overlap from
// offset 72 (every byte after the header is zero, which is a valid triangle
// and a valid frame alike). Small files with huge frames x triangles.
std::vector<uint8_t> WriteOverlappingTables(int32_t triangleCount, int32_t frameCount);

// Quantises float positions into one frame: scale and translate are chosen so
// that the bounding box spans the 0..255 range of each axis.
Md2Source::Frame QuantiseFrame(const std::vector<std::array<float, 3>>& positions, const std::string& name);

}  // namespace meshara::fixtures
