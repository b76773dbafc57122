#pragma once
// One complete picture: clear, camera, then every model in up to four
// blended passes (base texture or white, lit diffusion, lit specularity,
// unlit glow), then what the scene asks to show over them
// (render/overlays.h). A renderer belongs to one GL context and owns what it makes
// there: the textures of the pictures it draws and the arrays of the
// models, each kept while anyone holds that picture or model.

#include <functional>

#include "render/scene.h"
#include "render/submission.h"
#include "render/texture_cache.h"

namespace meshara {

class Renderer {
public:
    Renderer() = default;
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;
    // Frees every texture: the renderer's context must be current.
    ~Renderer() = default;

    // Draws the scene into the current context, then glFinish and present()
    // (when given). A call from inside present() draws nothing.
    void Render(const Scene& scene, const std::function<void()>& present);

    // Frees the textures and arrays of pictures and models nobody holds any
    // more. Render does this before each picture.
    void Collect();

    void SetSubmissionPath(SubmissionPath path) { path_ = path; }
    int LiveTextureCount() const { return textures_.LiveCount(); }

private:
    void DrawModel(const DrawnModel& drawn, FramePose pose, const Scene& scene);

    TextureCache textures_;
    ModelArrayCache arrays_;
    SubmissionPath path_ = SubmissionPath::VertexArrays;
    bool inProgress_ = false;
};

}  // namespace meshara
