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

// Playback of the animation that holds the shared frame. The document only
// ever holds whole frames of the file; the blend toward the next one is the
// view's, and it is dropped whenever playback stops.
struct Playback {
    static constexpr double kFramesPerSecond = 10;  // the rate models are made for
    bool playing = false;
    int32_t next = -1;  // the frame after the shared one in its animation's loop, -1 when not playing
    double phase = 0;   // how far from the shared frame toward next, 0 to 1
};

struct ViewState {
    Camera camera;
    int32_t wireframe = 0;
    Playback playback;
};

}  // namespace meshara
