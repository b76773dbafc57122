#include "session/status_line.h"

#include <cmath>
#include <cstdio>

#include "formats/name_text.h"
#include "session/messages.h"
#include "session/scene_setup.h"

namespace meshara {

namespace {
constexpr const char kSeparator[] = " \u00b7 ";
}  // namespace

std::string SpeedText(double speed) {
    if (speed == 0.25) return "\u00bc\u00d7";
    if (speed == 0.5) return "\u00bd\u00d7";
    char text[32];
    std::snprintf(text, sizeof text, "%g\u00d7", speed);
    return text;
}

std::string StatusLine(const Document& doc, const ViewState& view) {
    const ModelList& list = doc.models;
    if (list.Count() == 0) return {};
    std::string line;
    const int32_t frame = list.currentFrame;
    line += "frame " + std::to_string(frame) + " (" + std::to_string(list.MaxFrameCount()) + " frames)";
    if (const Md2Model* model = PlaybackModel(list)) {
        std::string name = NameToUtf8(model->frames[static_cast<size_t>(frame)].name);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        line += ": " + name;
        if (const Md2Animation* a = AnimationHolding(*model, frame))
            line += kSeparator + NameToUtf8(a->name) + " " + std::to_string(frame - a->first + 1) + "/" +
                    std::to_string(a->FrameCount());
    }
    line += kSeparator + std::string(view.playback.playing ? "playing at " : "stopped at ") + SpeedText(view.playbackSpeed);
    if (const ModelSlot* slot = list.CurrentModel()) {
        const Md2Model& m = *slot->model;
        line += kSeparator + (slot->path.empty() ? slot->Name() : slot->path) + ": " + std::to_string(m.vertexCount) + " vertices, " +
                std::to_string(m.TriangleCount()) + " triangles";
        if (slot->convertedMd2)
            line += std::string(kSeparator) + "shown as the MD2 meshara-cli convert makes of it (" +
                    std::to_string(m.FrameCount()) + " frames at 10 a second, 32 units a metre)";
        if (!IsLit(*slot))
            line += std::string(kSeparator) + "no light reaches it: + in the Model Lights row gives it the selected light";
        for (const std::string& note : ModelNotes(m)) line += kSeparator + note;
        if (m.HasFrame(frame) && !FrameDrawsSomething(m, frame))
            line += std::string(kSeparator) + "this frame draws nothing: none of its triangles has an area";
        for (const std::string& note : slot->notes) line += kSeparator + note;
    }
    return line;
}

}  // namespace meshara
