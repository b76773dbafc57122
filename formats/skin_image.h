#pragma once
// One decoded picture: what every picture format decodes into and what a
// model's maps hold. It knows nothing of GL: the renderer makes and frees
// textures for the pictures it draws (render/texture_cache.h).

#include <cstdint>
#include <string>
#include <vector>

namespace meshara {

struct SkinImage {
    std::vector<uint8_t> pixels;  // width * height * 3 bytes: R, G, B; top row first, no row gaps
    int32_t width = 0;
    int32_t height = 0;
    std::string fileName;  // last component of the path it was read from
    std::string path;      // the path it was read from; empty when made in memory
};

}  // namespace meshara
