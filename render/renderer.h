#pragma once
// One complete picture: clear, camera, then every visible model in up to
// four blended passes (base texture or white, lit diffusion, lit
// specularity, unlit glow).

#include <cstdint>
#include <functional>

#include "model/md2_model.h"
#include "render/camera.h"

namespace meshara {

struct RenderSettings {
    float backgroundColor[3] = {0, 0, 0};
    float backgroundAlpha = 1;  // 0 clears to transparent, for targets that keep alpha
    int32_t textureFilter = 4;  // 0 Nearest, 1 Linear, 2 Near-MIP, 3 Bi-MIP, 4 Tri-MIP
    int32_t multiPassMode = 0;  // 0 Fast (later passes on equal depth), 1 Safe (offset, less-or-equal)
};

// Guards against a paint inside a paint.
extern int32_t renderInProgress;

struct Scene {
    const ModelList& models;
    const RenderSettings& settings;
    const Camera& camera;
    int32_t wireframe = 0;
    // During playback: the models are drawn blended from the shared frame
    // toward nextFrame by blend (0..1). -1 draws the shared frame exactly.
    int32_t nextFrame = -1;
    float blend = 0;
};

// Draws the scene into the current context, then glFinish and present().
void RenderScene(const Scene& scene, const std::function<void()>& present);

}  // namespace meshara
