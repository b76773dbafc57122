#include "render/skin_texture.h"

#include <GL/gl.h>

#include "render/submission.h"
#include "skins/skin_decoder.h"

namespace meshara {

namespace {
int g_liveTextures = 0;

void DeleteTexture(uint32_t texture) {
    const GLuint name = texture;
    glDeleteTextures(1, &name);
    --g_liveTextures;
}
}  // namespace

void MakeSkinTexture(SkinImage& image) {
    GLuint name = 0;
    glGenTextures(1, &name);
    image.texture = name;
    ++g_liveTextures;
    UploadSkinTexture(image);
}

LoadResult<std::unique_ptr<SkinImage>> LoadSkinImage(const std::string& path) {
    auto result = ReadSkinImage(path);
    if (result) MakeSkinTexture(*result.Value());
    return result;
}

void InstallTextureReleaseHook() { SetTextureReleaseHook(DeleteTexture); }

int LiveTextureCount() { return g_liveTextures; }

}  // namespace meshara
