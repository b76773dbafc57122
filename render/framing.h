#pragma once
// Bringing the models into view: the camera turned back to its start
// orientation and moved so that every visible model, over the animation it
// is in, fits the view with a small margin, whatever its size and offset.

#include "model/animations.h"
#include "model/md2_model.h"
#include "render/camera.h"

namespace meshara {

// The box every visible model takes over the animation holding the shared
// frame (a model not drawn at that frame adds nothing), in GL's axes: the
// model's (x, y, z) as (x, z, y), as it is drawn.
Bounds VisibleBounds(const ModelList& models);

// Turns the camera to the start orientation, stops the spin and sets zoom
// and offsets so the box fits a view of width x height pixels. False, and
// nothing changed, when the box is empty or the view has no size.
bool FitCamera(Camera& camera, const Bounds& glBox, int width, int height);

// The start camera, exactly; the spin stops.
void ResetCamera(Camera& camera);

}  // namespace meshara
