#pragma once
// MD2 files written: the header, skin names, texture coordinates, triangles,
// frames and GL commands, laid out in that order from values already fitted
// to the format (convert/ builds them).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/md2_file.h"

namespace meshara {

struct Md2Output {
    int32_t skinWidth = 0, skinHeight = 0;
    std::vector<std::string> skinNames;  // each under 64 bytes
    std::vector<std::array<int16_t, 2>> texCoords;  // (s, t) in skin pixels
    struct Triangle {
        uint16_t vertex[3] = {0, 0, 0};  // file corners 0, 1, 2
        uint16_t texCoord[3] = {0, 0, 0};
    };
    std::vector<Triangle> triangles;
    int32_t vertexCount = 0;
    std::vector<Md2Frame> frames;  // names under 16 bytes, vertexCount vertices each
    // Words as the file stores them: a count (positive for a strip, negative
    // for a fan), then per vertex s and t as float bits and the vertex index;
    // a zero count ends them.
    std::vector<uint32_t> glCommands;
};

std::vector<uint8_t> EncodeMd2(const Md2Output& model);

}  // namespace meshara
