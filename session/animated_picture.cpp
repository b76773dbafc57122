#include "session/animated_picture.h"

#include <cmath>

#include "view/vecmath.h"

namespace meshara {

std::vector<Shot> AnimationShots(const Md2Animation& animation, double fps) {
    std::vector<Shot> shots;
    for (int32_t f = animation.first; f <= animation.last; ++f) shots.push_back({f, 0, 1000 / fps});
    return shots;
}

std::vector<Shot> TurntableShots(int32_t frame, const Md2Animation* animation, int32_t count, double fps) {
    std::vector<Shot> shots;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t shown = animation ? animation->first + i % animation->FrameCount() : frame;
        shots.push_back({shown, 360.0 * i / count, 1000 / fps});
    }
    return shots;
}

Scene ShotScene(const Scene& base, const Shot& shot) {
    Scene scene = base;
    scene.frame = shot.frame;
    scene.nextFrame = -1;
    scene.blend = 0;
    if (shot.turnDegrees != 0) {
        // The model's vertical is GL's y before the camera turns it, so the
        // turn about it comes first: the camera's own turn is composed after.
        Vec3 up{0, 1, 0};
        Quat turn;
        AxisAngleToQuat(up, static_cast<float>(shot.turnDegrees * M_PI / 180), turn);
        ComposeQuats(base.camera.rotation, turn, scene.camera.rotation);
    }
    return scene;
}

Result<Recording> RecordAnimation(const Scene& base, std::span<const Shot> shots, AnimatedFormat format,
                                  const DrawScene& draw, const RecordProgress& progress) {
    std::unique_ptr<AnimatedWriter> writer;
    PixelSize first;
    std::vector<uint8_t> rgb;
    const auto total = static_cast<int32_t>(shots.size());
    for (int32_t i = 0; i < total; ++i) {
        PixelSize size;
        if (!draw(ShotScene(base, shots[static_cast<size_t>(i)]), size, rgb))
            return Result<Recording>::Fail(ErrorKind::CannotCreate, "the view has no picture");
        if (!writer) {
            auto started = AnimatedWriter::Start(format, size.width, size.height);
            if (!started) return started.Why();
            writer = started.Take();
            first = size;
        } else if (size.width != first.width || size.height != first.height) {
            return Result<Recording>::Fail(ErrorKind::CannotCreate, "the view changed size while it was recorded");
        }
        if (Status added = writer->Add(rgb, shots[static_cast<size_t>(i)].delayMs); !added) return added.Why();
        if (progress && !progress(i + 1, total)) return Recording{{}, true};
    }
    if (!writer) return Result<Recording>::Fail(ErrorKind::CannotCreate, "an animation needs at least one picture");
    auto bytes = writer->Finish();
    if (!bytes) return bytes.Why();
    return Recording{bytes.Take(), false};
}

}  // namespace meshara
