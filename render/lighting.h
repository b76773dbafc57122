#pragma once

#include <array>

#include "render/scene.h"

namespace meshara {

// Loads GL_LIGHT0..7 in eye space (fixed to the viewer) from the model's
// lights; a null entry leaves its GL light disabled.
void SetupModelLights(const std::array<const LightRecord*, kMaxModelLights>& lights);

}  // namespace meshara
