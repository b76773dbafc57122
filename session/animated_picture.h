#pragma once
// Animated pictures of a scene: which pictures make one (the frames of an
// animation at its rate, or a turntable), drawn one by one by whoever holds
// the GL context (the viewer's window, meshara-cli's offscreen context) and
// encoded as they come (formats/animated_writer.h). The viewer's File >
// Save Animation... and meshara-cli render share all of it.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "formats/animated_writer.h"
#include "io/result.h"
#include "model/animations.h"
#include "render/scene.h"
#include "session/ui_port.h"

namespace meshara {

// One picture of an animated file.
struct Shot {
    int32_t frame = 0;
    double turnDegrees = 0;  // about the model's vertical axis, on top of the camera's own turn
    double delayMs = 0;      // how long it shows
};

// Rates an animated picture can show reliably: players stretch GIF delays
// under two hundredths of a second to a tenth.
constexpr double kMinPictureRate = 0.1, kMaxPictureRate = 50;
// The most pictures a turntable takes.
constexpr int32_t kMaxTurntablePictures = 3600;

// One shot per frame of the animation, in order, each 1/fps seconds.
std::vector<Shot> AnimationShots(const Md2Animation& animation, double fps);

// count shots turning once round the vertical, evenly, each 1/fps seconds:
// all on frame, or, given an animation, playing it from its first frame
// (and looping when the turn outlasts it).
std::vector<Shot> TurntableShots(int32_t frame, const Md2Animation* animation, int32_t count, double fps);

// The base scene at the shot's frame exactly (no blend) and turned by it.
Scene ShotScene(const Scene& base, const Shot& shot);

// Draws the scene and reads the picture back (RGB, top row first); false when there is no picture.
using DrawScene = std::function<bool(const Scene&, PixelSize&, std::vector<uint8_t>&)>;
// Told after each picture how many are done; false stops the recording.
using RecordProgress = std::function<bool(int32_t done, int32_t total)>;

struct Recording {
    std::vector<uint8_t> bytes;  // the whole file
    bool cancelled = false;      // progress said stop: no bytes
};

// Every shot drawn and encoded in order. CannotCreate when a picture
// cannot be drawn, changes size on the way, or the encoder fails.
Result<Recording> RecordAnimation(const Scene& base, std::span<const Shot> shots, AnimatedFormat format,
                                  const DrawScene& draw, const RecordProgress& progress);

}  // namespace meshara
