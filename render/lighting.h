#pragma once

#include "model/md2_model.h"

namespace meshara {

// Loads the model's first eight light entries into GL_LIGHT0..7 in eye
// space (fixed to the viewer); entries that are switched off, lights that
// are off and missing entries leave their GL light disabled.
void SetupModelLights(const Md2Model& model);

}  // namespace meshara
