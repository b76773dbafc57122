#include "session/status_line.h"

#include <cmath>
#include <cstdio>
#include <vector>

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
    const int32_t frame = list.currentFrame;
    const ModelSlot* slot = list.CurrentModel();
    // A narrow window shows the start: what needs doing first, the path last.
    std::vector<std::string> parts;
    if (slot && !IsLit(*slot)) parts.push_back("no light reaches the model: + in the Model Lights row gives it the selected light");
    if (slot && slot->model->HasFrame(frame) && !FrameDrawsSomething(*slot->model, frame))
        parts.push_back("this frame draws nothing: none of its triangles has an area");
    std::string where = "frame " + std::to_string(frame) + " (" + std::to_string(list.MaxFrameCount()) + " frames)";
    if (const Md2Model* model = PlaybackModel(list)) {
        std::string name = NameToUtf8(model->frames[static_cast<size_t>(frame)].name);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        where += ": " + name;
        parts.push_back(where);
        if (const Md2Animation* a = AnimationHolding(*model, frame))
            parts.push_back(NameToUtf8(a->name) + " " + std::to_string(frame - a->first + 1) + "/" + std::to_string(a->FrameCount()));
    } else {
        parts.push_back(where);
    }
    parts.push_back(std::string(view.playback.playing ? "playing at " : "stopped at ") + SpeedText(view.playbackSpeed));
    if (slot) {
        const Md2Model& m = *slot->model;
        parts.push_back(std::to_string(m.vertexCount) + " vertices, " + std::to_string(m.TriangleCount()) + " triangles");
        if (slot->convertedMd2)
            parts.push_back("shown as the MD2 meshara-cli convert makes of it (" + std::to_string(m.FrameCount()) +
                            " frames at 10 a second, 32 units a metre)");
        for (const std::string& note : ModelNotes(m)) parts.push_back(note);
        for (const std::string& note : slot->notes) parts.push_back(note);
        parts.push_back(slot->path.empty() ? slot->Name() : slot->path);
    }
    std::string line;
    for (const std::string& part : parts) line += (line.empty() ? "" : kSeparator) + part;
    return line;
}

}  // namespace meshara
