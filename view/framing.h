#pragma once
// Bringing a box into view: the camera turned back to its start orientation
// and moved so that the box fits the view with a small margin, whatever its
// size and offset.

#include "model/geometry.h"
#include "view/camera.h"

namespace meshara {

// Turns the camera to the start orientation, stops the spin and sets zoom
// and offsets so the box (in GL's axes) fits a view of width x height
// pixels. False, and nothing changed, when the box is empty or the view
// has no size.
bool FitCamera(Camera& camera, const Bounds& glBox, int width, int height);

// The start camera, exactly; the spin stops.
void ResetCamera(Camera& camera);

}  // namespace meshara
