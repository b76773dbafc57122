#include "session/scene_setup.h"

#include "formats/skin_decoder.h"
#include "session/skin_search.h"
#include "view/framing.h"

namespace meshara {

Result<ModelSlot*> OpenModelFile(ModelList& list, const std::string& path) {
    auto loaded = LoadMd2Model(path);
    if (!loaded) return loaded.Why();
    return &AddModel(list, loaded.Take(), path);
}

ModelSlot& AddModel(ModelList& list, std::shared_ptr<const Md2Model> model, std::string path) {
    auto slot = std::make_unique<ModelSlot>();
    slot->model = std::move(model);
    slot->path = std::move(path);
    // currentFrame is left alone on purpose: all models share it.
    list.currentModel = list.Count();
    list.models.push_back(std::move(slot));
    return *list.models.back();
}

Status LoadMapFile(ModelSlot& slot, MapKind kind, const std::string& path) {
    auto picture = ReadSkinImage(path);
    if (!picture) return picture.Why();
    slot.Map(kind) = picture.Take();
    return {};
}

LightRecord& AddLightTo(Document& doc, ModelSlot& slot, std::unique_ptr<LightRecord> light) {
    LightRecord& added = *light;
    AppendModelLight(slot, &added);
    AppendGlobalLight(doc.lights, std::move(light));
    return added;
}

std::string NamedSkinFile(const ModelSlot& slot) { return FindSkinFile(slot.path, slot.model->skinNames); }

Scene SceneOf(const Document& doc, const ViewState& view) {
    Scene scene;
    scene.frame = doc.models.currentFrame;
    if (view.playback.playing) {
        scene.nextFrame = view.playback.next;
        scene.blend = static_cast<float>(view.playback.phase);
    }
    scene.settings = doc.settings;
    scene.camera = view.camera;
    scene.wireframe = view.wireframe;
    for (const auto& slot : doc.models.models) {
        if (!slot->visible) continue;
        DrawnModel& drawn = scene.models.emplace_back();
        drawn.model = slot->model;
        for (size_t m = 0; m < kMapKinds; ++m)
            if (slot->mapOn[m]) drawn.maps[m] = slot->maps[m];
        drawn.environmentMapped = slot->environmentMapped;
        for (size_t i = 0; i < kMaxModelLights && i < slot->lights.size(); ++i) {
            const ModelLightEntry& entry = slot->lights[i];
            if (entry.enabled && entry.light && entry.light->on) drawn.lights[i] = entry.light;
        }
    }
    return scene;
}

Bounds VisibleBounds(const ModelList& models) {
    Bounds box;
    for (const auto& slot : models.models) {
        if (!slot->visible) continue;
        const Md2Animation* a = AnimationHolding(*slot->model, models.currentFrame);
        if (!a) continue;
        const Bounds b = FrameBounds(*slot->model, a->first, a->last);
        if (b.empty) continue;
        box.Add(ToGlAxes(b.min));
        box.Add(ToGlAxes(b.max));
    }
    return box;
}

bool FitView(Camera& camera, const ModelList& models, int width, int height) {
    return FitCamera(camera, VisibleBounds(models), width, height);
}

}  // namespace meshara
