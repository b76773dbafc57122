#pragma once
// The view's GL state: the start state made once the context is current,
// the viewport and projection that follow the client size, and the camera
// transform applied at the start of every frame.

#include <cstdint>
#include <vector>

#include "view/camera.h"

namespace meshara {

// Depth test, a 30-degree projection (far plane 4 until the first resize),
// culling, lighting with no global ambient, the camera looking from (0, 0, 3)
// at the origin saved one level down the modelview stack, 2-pixel lines.
void InitGLState(int clientWidth, int clientHeight);

// Viewport and projection (far plane 1000) for a client area; false, and
// nothing changed, when the height is below 1.
bool ApplyViewportAndProjection(int clientWidth, int clientHeight);

// camera x scale(zoom) x translate(pan) x rotation x translate(modelOffset).
void ApplyViewTransform(const Camera& camera);

// The picture in the buffer being read, width x height, as RGB (channels
// 3) or RGBA (4) bytes, top row first.
std::vector<uint8_t> ReadFramebuffer(int width, int height, int channels);

// The same from the back buffer of a double-buffered window, RGB: what was
// drawn there last, whatever covers the window on the screen.
std::vector<uint8_t> ReadBackBuffer(int width, int height);

}  // namespace meshara
