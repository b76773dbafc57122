// Extras of the view: animation playback, framing, saving the picture.
#include <cmath>

#include "formats/name_text.h"
#include "formats/png_writer.h"
#include "io/file_bytes.h"
#include "session/commands.h"
#include "session/inputs.h"
#include "session/messages.h"
#include "session/scene_setup.h"
#include "view/framing.h"

namespace meshara {

namespace {
constexpr const char* kPngFilter = "PNG picture (*.png)|*.png|All Files (*.*)|*.*";

// MODEL-FRAME.png for the current model and the shared frame, made fit for a
// file name; "view.png" without a model.
std::string SuggestedViewName(const ModelList& models) {
    const ModelSlot* slot = models.CurrentModel();
    if (!slot) return "view.png";
    std::string name = slot->Name();
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    if (slot->model->HasFrame(models.currentFrame)) {
        std::string frame = NameToUtf8(slot->model->frames[static_cast<size_t>(models.currentFrame)].name);
        while (!frame.empty() && frame.back() == ' ') frame.pop_back();
        while (!frame.empty() && frame.front() == ' ') frame.erase(frame.begin());
        if (!frame.empty()) name += "-" + frame;
    }
    for (char& c : name)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
    return name + ".png";
}
}  // namespace

const Md2Model* Commands::AnimationModel() const { return PlaybackModel(doc_.models); }

const Md2Animation* Commands::AnimationAt(int32_t frame) const {
    const Md2Model* model = AnimationModel();
    return model ? AnimationHolding(*model, frame) : nullptr;
}

int32_t Commands::NextInLoop(int32_t frame) const {
    const Md2Animation* a = AnimationAt(frame);
    if (!a) return -1;
    return frame >= a->last ? a->first : frame + 1;
}

void Commands::TogglePlayback() {
    Playback& p = view_.playback;
    if (p.playing) {
        StopPlayback();
        ui_.RequestRedraw();
        return;
    }
    ModelList& list = doc_.models;
    if (list.currentFrame < 0 || list.currentFrame >= list.MaxFrameCount()) list.currentFrame = 0;
    if (!AnimationModel()) return;
    p.playing = true;
    p.phase = 0;
    p.next = NextInLoop(list.currentFrame);
    ui_.SetPlaybackTimer(true);
    ui_.RequestRedraw();
}

void Commands::StopPlayback() {
    Playback& p = view_.playback;
    if (!p.playing) return;
    p = Playback{};
    ui_.SetPlaybackTimer(false);
}

void Commands::AdvancePlayback(double seconds) {
    Playback& p = view_.playback;
    if (!p.playing) return;
    if (!AnimationModel()) {  // its models are gone
        StopPlayback();
        ui_.RequestRedraw();
        return;
    }
    // A long stall skips whole loops rather than stepping through them.
    p.phase += std::fmod(std::max(seconds, 0.0) * view_.playbackSpeed * kFramesPerSecond, 1e6);
    ModelList& list = doc_.models;
    for (; p.phase >= 1; p.phase -= 1) list.currentFrame = NextInLoop(list.currentFrame);
    p.next = NextInLoop(list.currentFrame);
    ui_.RedrawView();
}

void Commands::StepAnimation(int direction) {
    const Md2Model* model = AnimationModel();
    if (!model) return;
    const int32_t count = static_cast<int32_t>(model->animations.size());
    const int32_t at = AnimationOfFrame(model->animations, doc_.models.currentFrame);
    GoToAnimation((at + direction + count) % count);
}

void Commands::GoToAnimation(int index) {
    const Md2Model* model = AnimationModel();
    if (!model || index < 0 || static_cast<size_t>(index) >= model->animations.size()) return;
    doc_.models.currentFrame = model->animations[static_cast<size_t>(index)].first;
    Playback& p = view_.playback;
    if (p.playing) {
        p.phase = 0;
        p.next = NextInLoop(doc_.models.currentFrame);
    }
    Changed();
}

void Commands::NextAnimation() { StepAnimation(1); }
void Commands::PreviousAnimation() { StepAnimation(-1); }

void Commands::SetPlaybackSpeed(double speed) {
    if (!(speed > 0) || speed == view_.playbackSpeed) return;
    view_.playbackSpeed = speed;
    ui_.RequestRedraw();  // the status line tells the speed
}

void Commands::FitModels() {
    const PixelSize size = ui_.ViewSize();
    // Playing, the whole animation stays in view; stopped, the frame shown fills it.
    const FitSpan span = view_.playback.playing ? FitSpan::Animation : FitSpan::Frame;
    if (FitView(view_.camera, doc_.models, size.width, size.height, span)) ui_.RequestRedraw();
}

void Commands::ResetView() {
    ResetCamera(view_.camera);
    ui_.RequestRedraw();
}

void Commands::TurnView(int right, int down) {
    const PixelSize size = ui_.ViewSize();
    TurnByKey(view_.camera, {right, down}, {size.width, size.height});
    ui_.RedrawView();
}

void Commands::MoveView(int right, int down) {
    MoveByKey(view_.camera, {right, down});
    ui_.RedrawView();
}

void Commands::ZoomView(bool in) {
    const PixelSize size = ui_.ViewSize();
    ZoomByKey(view_.camera, in, {size.width, size.height});
    ui_.RedrawView();
}

void Commands::SaveView() {
    std::string path;
    int filterIndex = 0;
    if (!Choose({"Save View as PNG", kPngFilter, SuggestedViewName(doc_.models), true, {}}, path, filterIndex)) return;
    path = WithDefaultExtension(std::move(path), ".png");
    SavePng(
        path,
        [&]() -> std::optional<std::vector<uint8_t>> {
            PixelSize size;
            std::vector<uint8_t> rgb;
            if (!ui_.ReadViewPixels(size, rgb)) return std::nullopt;
            return EncodePng(size.width, size.height, rgb, 3);
        },
        "the view has no picture");
}

void Commands::SavePng(const std::string& path, const std::function<std::optional<std::vector<uint8_t>>()>& encode,
                       const char* noPicture) {
    std::string why = noPicture;
    if (!OutputThatIsAnInput({path}, InputsOf(doc_)).empty()) {
        why = "it is a file an open model or picture was read from";
    } else if (const auto png = encode()) {
        const Status written = png->empty() ? Status::Fail(ErrorKind::CannotCreate, "the picture cannot be encoded")
                                            : WriteFileBytes(path, *png);
        if (written) return;
        why = written.Detail();
    }
    std::fprintf(stderr, "meshara: %s: %s\n", path.c_str(), why.c_str());
    ui_.ShowMessage(msg::kCannotCreate, path + ": " + why);
}

}  // namespace meshara
