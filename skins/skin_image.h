#pragma once
// One decoded skin picture with the GL texture made from it. The core knows
// nothing of GL: the render layer installs a hook that deletes texture names,
// and every SkinImage hands its name to that hook when it goes away.

#include <cstdint>
#include <string>
#include <vector>

namespace meshara {

struct SkinImage {
    std::vector<uint8_t> pixels;  // width * height * 3 bytes: R, G, B; top row first, no row gaps
    int32_t width = 0;
    int32_t height = 0;
    uint32_t texture = 0;         // GL texture name; 0 = none made yet
    std::string fileName;         // last component of the path it was read from

    SkinImage() = default;
    SkinImage(const SkinImage&) = delete;
    SkinImage& operator=(const SkinImage&) = delete;
    SkinImage(SkinImage&& other) noexcept;
    SkinImage& operator=(SkinImage&& other) noexcept;
    ~SkinImage();
};

// Called with the texture name of every SkinImage that is destroyed while it
// holds one. Null (the default) means textures need no release.
using TextureReleaseHook = void (*)(uint32_t texture);
void SetTextureReleaseHook(TextureReleaseHook hook);
TextureReleaseHook GetTextureReleaseHook();

}  // namespace meshara
