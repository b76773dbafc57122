#pragma once
// Skin pictures with their GL textures. Needs the view's context current.

#include <memory>
#include <string>

#include "io/load_result.h"
#include "skins/skin_image.h"

namespace meshara {

// Reads and decodes the picture, then makes its texture with mipmaps.
// Refusals are those of ReadSkinImage; nothing is made for them.
LoadResult<std::unique_ptr<SkinImage>> LoadSkinImage(const std::string& path);

// Gives the picture a new texture name and uploads it.
void MakeSkinTexture(SkinImage& image);

// Routes the release of every SkinImage's texture to glDeleteTextures.
void InstallTextureReleaseHook();

// Texture names made here and not yet deleted: a leak shows up here.
int LiveTextureCount();

}  // namespace meshara
