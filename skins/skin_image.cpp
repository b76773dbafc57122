#include "skins/skin_image.h"

#include <utility>

namespace meshara {

namespace {
TextureReleaseHook g_releaseHook = nullptr;

void ReleaseTexture(uint32_t& texture) {
    if (texture != 0 && g_releaseHook) g_releaseHook(texture);
    texture = 0;
}
}  // namespace

void SetTextureReleaseHook(TextureReleaseHook hook) { g_releaseHook = hook; }
TextureReleaseHook GetTextureReleaseHook() { return g_releaseHook; }

SkinImage::SkinImage(SkinImage&& other) noexcept
    : pixels(std::move(other.pixels)),
      width(other.width),
      height(other.height),
      texture(std::exchange(other.texture, 0u)),
      fileName(std::move(other.fileName)) {}

SkinImage& SkinImage::operator=(SkinImage&& other) noexcept {
    if (this != &other) {
        ReleaseTexture(texture);
        pixels = std::move(other.pixels);
        width = other.width;
        height = other.height;
        texture = std::exchange(other.texture, 0u);
        fileName = std::move(other.fileName);
    }
    return *this;
}

SkinImage::~SkinImage() { ReleaseTexture(texture); }

}  // namespace meshara
