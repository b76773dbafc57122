#include "session/document.h"

#include <algorithm>

namespace meshara {

ModelSlot* ModelList::CurrentModel() const {
    if (currentModel < 0 || currentModel >= Count()) return nullptr;
    return models[static_cast<size_t>(currentModel)].get();
}

int32_t ModelList::MaxFrameCount() const {
    int32_t most = 0;
    for (const auto& m : models) most = std::max(most, m->model->FrameCount());
    return most;
}

LightRecord* GlobalLightList::SelectedLight() const {
    if (selectedGlobalLight < 0 || selectedGlobalLight >= Count()) return nullptr;
    return lights[static_cast<size_t>(selectedGlobalLight)].get();
}

void Document::Clear() {
    // Models first: their entries point into the light list.
    models.models.clear();
    models.currentModel = -1;
    lights.lights.clear();
    lights.selectedGlobalLight = -1;
}

int32_t AppendGlobalLight(GlobalLightList& list, std::unique_ptr<LightRecord> light) {
    list.lights.push_back(std::move(light));
    return list.Count() - 1;
}

void RepairSelection(int32_t& selection, int32_t count) {
    if (selection >= count) selection = 0;
    if (count == 0) selection = -1;
}

void RemoveGlobalLight(GlobalLightList& list, ModelList& models, int32_t index) {
    if (index < 0 || index >= list.Count()) return;
    const LightRecord* gone = list.lights[static_cast<size_t>(index)].get();
    for (auto& slot : models.models) {
        // Entry by entry, repairing the selection after each removal as the
        // entries close up behind it.
        auto& entries = slot->lights;
        for (size_t p = 0; p < entries.size();) {
            if (entries[p].light != gone) {
                ++p;
                continue;
            }
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(p));
            RepairSelection(slot->currentLight, static_cast<int32_t>(entries.size()));
        }
    }
    list.lights.erase(list.lights.begin() + index);
    RepairSelection(list.selectedGlobalLight, list.Count());
}

void AppendModelLight(ModelSlot& slot, LightRecord* light) { slot.lights.push_back(ModelLightEntry{light, true}); }

void RemoveModelLight(ModelSlot& slot, int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(slot.lights.size())) return;
    slot.lights.erase(slot.lights.begin() + index);
    RepairSelection(slot.currentLight, static_cast<int32_t>(slot.lights.size()));
}

}  // namespace meshara
