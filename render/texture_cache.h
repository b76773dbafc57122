#pragma once
// The GL textures of the pictures being drawn, made the first time a picture
// is drawn and kept while anyone holds the picture. Pictures know nothing of
// GL; the cache is told of nothing either: it keeps a weak reference to each
// picture and frees a texture once its picture has gone. Needs the GL
// context current whenever it makes or frees a texture.

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "formats/skin_image.h"

namespace meshara {

class TextureCache {
public:
    TextureCache() = default;
    TextureCache(const TextureCache&) = delete;
    TextureCache& operator=(const TextureCache&) = delete;
    ~TextureCache();  // frees every texture left

    // The picture's texture, made and uploaded with mipmaps on first use.
    uint32_t TextureFor(const std::shared_ptr<const SkinImage>& picture);

    // Frees the textures of pictures that nobody holds any more.
    void Collect();

    // Textures made and not yet freed: a leak shows up here.
    int LiveCount() const { return static_cast<int>(entries_.size()); }

private:
    struct Entry {
        std::weak_ptr<const SkinImage> picture;
        uint32_t texture = 0;
    };
    std::unordered_map<const SkinImage*, Entry> entries_;
};

// Filters of the bound texture for mode 0..4 (Nearest, Linear, Near-MIP,
// Bi-MIP, Tri-MIP); any other mode sets nothing.
void SetTextureFilter(int32_t mode);
void BindSkinTexture(uint32_t texture);

}  // namespace meshara
