#pragma once
// The line under the view: where playback stands and what the user should
// know about the current model that the options bar does not show.

#include <string>

#include "session/document.h"

namespace meshara {

// "frame 3 (12 frames): pulse3 · pulse 4/12 · stopped · /models/knot.md2:
// 384 vertices, 768 triangles", then a hint when no light reaches the
// current model and what its file needed mending. The model goes by the
// path it was opened from (the Model List shows only file names, and many
// models are "tris.md2"), or by its name when it was made in memory.
// Empty without models.
std::string StatusLine(const Document& doc, const ViewState& view);

// How the speed reads: "1×", "½×", "2×", ...
std::string SpeedText(double speed);

}  // namespace meshara
