// The least a thumbnail can cost as a process of its own: start, make the
// offscreen GL context (256 x 256 with alpha, as meshara-cli thumbnail does),
// clear it, read it back, encode the PNG and write it. thumbnail_bench
// measures meshara-cli thumbnail against this floor.

#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "io/file_bytes.h"
#include "render/offscreen.h"
#include "formats/png_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: thumbnail_floor OUTPUT.png\n");
        return 2;
    }
    constexpr int kSize = 256;
    std::string why;
    auto context = meshara::OffscreenContext::Create(kSize, kSize, why, true);
    if (!context) {
        std::fprintf(stderr, "thumbnail_floor: %s\n", why.c_str());
        return 1;
    }
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFinish();
    const auto png = meshara::EncodePng(kSize, kSize, context->ReadPixelsRgba(), 4);
    return meshara::WriteFileBytes(argv[1], png) ? 0 : 1;
}
