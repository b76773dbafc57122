#include "render/texture_cache.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

#include "formats/skin_scale.h"

namespace meshara {

namespace {

void DeleteTexture(uint32_t texture) {
    const GLuint name = texture;
    glDeleteTextures(1, &name);
}

// Builds the mipmaps of texture from the picture's pixels (rows packed without gaps).
void Upload(uint32_t texture, const SkinImage& image) {
    glDisable(GL_DITHER);
    glBindTexture(GL_TEXTURE_2D, texture);
    // Rows are packed without gaps: a 250-pixel row is 750 bytes, not 752.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Power-of-two sides (as GLU would choose them, within the GL limit) made
    // here, so GLU's own scaler, which can lose the last row, never runs.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    largest = std::max(largest, 64);
    const int32_t width = std::min(NearestPowerOfTwo(image.width), largest);
    const int32_t height = std::min(NearestPowerOfTwo(image.height), largest);
    if (width == image.width && height == image.height) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, image.pixels.data());
        return;
    }
    const std::vector<uint8_t> scaled = ScaleRgb(image.pixels, image.width, image.height, width, height);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, scaled.data());
}

}  // namespace

TextureCache::~TextureCache() {
    for (const auto& [picture, entry] : entries_) DeleteTexture(entry.texture);
}

uint32_t TextureCache::TextureFor(const std::shared_ptr<const SkinImage>& picture) {
    Entry& entry = entries_[picture.get()];
    // A live entry is this very picture; an expired one held a picture that
    // has gone, and whose address this one now has.
    if (entry.texture != 0 && !entry.picture.expired()) return entry.texture;
    if (entry.texture != 0) DeleteTexture(entry.texture);
    GLuint name = 0;
    glGenTextures(1, &name);
    entry = Entry{picture, name};
    Upload(name, *picture);
    return name;
}

void TextureCache::Collect() {
    std::erase_if(entries_, [](const auto& item) {
        if (!item.second.picture.expired()) return false;
        DeleteTexture(item.second.texture);
        return true;
    });
}

void BindSkinTexture(uint32_t texture) {
    glDisable(GL_DITHER);
    glBindTexture(GL_TEXTURE_2D, texture);
}

void SetTextureFilter(int32_t mode) {
    static constexpr GLint kMin[5] = {GL_NEAREST, GL_LINEAR, GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_NEAREST,
                                      GL_LINEAR_MIPMAP_LINEAR};
    static constexpr GLint kMag[5] = {GL_NEAREST, GL_LINEAR, GL_LINEAR, GL_LINEAR, GL_LINEAR};
    if (mode < 0 || mode > 4) return;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, kMin[mode]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, kMag[mode]);
}

}  // namespace meshara
