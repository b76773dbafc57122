#pragma once
// Everything the viewer holds for one run: models, lights and render
// settings, plus the view's own state (camera and wireframe). Nothing here
// knows about windows.

#include <cstdint>

#include "lights/light_record.h"
#include "model/md2_model.h"
#include "render/camera.h"
#include "render/renderer.h"

namespace meshara {

struct Document {
    ModelList models;
    GlobalLightList lights;
    RenderSettings settings;

    // Releases every model (textures with them), then every light. The GL
    // context must still be current.
    void Clear();
};

struct ViewState {
    Camera camera;
    int32_t wireframe = 0;
};

}  // namespace meshara
