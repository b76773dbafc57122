#pragma once
// The line under the view: where playback stands and what the user should
// know about the current model that the options bar does not show.

#include <string>

#include "session/document.h"

namespace meshara {

// What the user should know first comes first, as a narrow window shows
// only the start: a hint when no light reaches the current model or its
// frame draws nothing, then "frame 3 (12 frames): pulse3 · pulse 4/12 ·
// stopped at 1×", the model's counts and what its file needed mending, and
// last the path it was opened from (the Model List shows only file names,
// and many models are "tris.md2"), or its name when it was made in memory.
// Empty without models.
std::string StatusLine(const Document& doc, const ViewState& view);

// How the speed reads: "1×", "½×", "2×", ...
std::string SpeedText(double speed);

}  // namespace meshara
