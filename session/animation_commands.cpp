// Extras of inspecting and showing off: Rendering > Show and File > Save Animation...
#include <cstdio>

#include "formats/name_text.h"
#include "io/file_bytes.h"
#include "session/animated_picture.h"
#include "session/commands.h"
#include "session/inputs.h"
#include "session/messages.h"

namespace meshara {

namespace {
constexpr const char* kAnimationFilter =
    "GIF animation (*.gif)|*.gif|WebP animation (*.webp)|*.webp|All Files (*.*)|*.*";

// MODEL-ANIMATION.gif, made fit for a file name.
std::string SuggestedAnimationName(const Md2Model& model, const Md2Animation& animation) {
    std::string name = model.name;
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    const std::string stem = NameToUtf8(animation.name);
    if (!stem.empty()) name += "-" + stem;
    for (char& c : name)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
    return name + ".gif";
}
}  // namespace

void Commands::ToggleShow(bool ShowItems::*item) {
    view_.show.*item = !(view_.show.*item);
    ui_.RequestRedraw();
}

void Commands::SaveAnimation() {
    const Md2Model* model = AnimationModel();
    const Md2Animation* animation = model ? AnimationHolding(*model, doc_.models.currentFrame) : nullptr;
    if (!animation) return;
    std::string path;
    int filterIndex = 0;
    if (!Choose({"Save Animation", kAnimationFilter, SuggestedAnimationName(*model, *animation), true, {}}, path,
                filterIndex))
        return;
    path = WithDefaultExtension(std::move(path), filterIndex == 1 ? ".webp" : ".gif");
    // The name's own extension decides; a name without a known one takes the filter's format.
    const AnimatedFormat format =
        AnimatedFormatOf(path).value_or(filterIndex == 1 ? AnimatedFormat::Webp : AnimatedFormat::Gif);

    if (!OutputThatIsAnInput({path}, InputsOf(doc_)).empty()) {
        const std::string why = "it is a file an open model or picture was read from";
        std::fprintf(stderr, "meshara: %s: %s\n", path.c_str(), why.c_str());
        ui_.ShowMessage(msg::kCannotCreate, path + ": " + why);
        return;
    }
    Scene base = SceneOf(doc_, view_);
    const std::vector<Shot> shots = AnimationShots(*animation, kFramesPerSecond * view_.playbackSpeed);
    ui_.BeginProgress("Save Animation", "Drawing " + NameToUtf8(animation->name) + " into " + path,
                      static_cast<int>(shots.size()));
    auto recorded = RecordAnimation(
        base, shots, format,
        [this](const Scene& scene, PixelSize& size, std::vector<uint8_t>& rgb) {
            return ui_.ReadScenePixels(scene, size, rgb);
        },
        [this](int32_t done, int32_t) { return ui_.StepProgress(done); });
    ui_.EndProgress();
    if (recorded && recorded.Value().cancelled) return;
    const Status written = recorded ? WriteFileBytes(path, recorded.Value().bytes) : Status(recorded.Why());
    if (written) return;
    std::fprintf(stderr, "meshara: %s: %s\n", path.c_str(), written.Detail().c_str());
    ui_.ShowMessage(msg::kCannotCreate, path + ": " + written.Detail());
}

}  // namespace meshara
