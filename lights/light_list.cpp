#include "lights/light_record.h"

#include <algorithm>
#include <iterator>

#include "model/md2_model.h"

namespace meshara {

void SetLightDefaults(LightRecord& light) {
    const LightRecord defaults;
    std::copy(std::begin(defaults.position), std::end(defaults.position), light.position);
    std::copy(std::begin(defaults.spotDirection), std::end(defaults.spotDirection), light.spotDirection);
    std::copy(std::begin(defaults.ambient), std::end(defaults.ambient), light.ambient);
    std::copy(std::begin(defaults.diffuse), std::end(defaults.diffuse), light.diffuse);
    std::copy(std::begin(defaults.specular), std::end(defaults.specular), light.specular);
    light.quadraticAttenuation = defaults.quadraticAttenuation;
    light.constantAttenuation = defaults.constantAttenuation;
    light.linearAttenuation = defaults.linearAttenuation;
    light.spotExponent = defaults.spotExponent;
    light.spotCutoff = defaults.spotCutoff;
}

LightRecord* GlobalLightList::SelectedLight() const {
    if (selectedGlobalLight < 0 || selectedGlobalLight >= Count()) return nullptr;
    return lights[static_cast<size_t>(selectedGlobalLight)].get();
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
    for (auto& light : list.lights) light->deleteMark = 0;
    list.lights[static_cast<size_t>(index)]->deleteMark = 1;

    for (auto& model : models.models) {
        auto& entries = model->lights;
        const size_t steps = entries.size();
        size_t p = 0;
        for (size_t step = 0; step < steps; ++step) {
            if (entries[p].light->deleteMark == 1) {
                entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(p));
                RepairSelection(model->currentLight, static_cast<int32_t>(entries.size()));
            } else {
                ++p;
            }
        }
    }

    list.lights.erase(list.lights.begin() + index);
    RepairSelection(list.selectedGlobalLight, list.Count());
}

void AppendModelLight(Md2Model& model, LightRecord* light) { model.lights.push_back(ModelLightEntry{light, 1}); }

void RemoveModelLight(Md2Model& model, int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(model.lights.size())) return;
    model.lights.erase(model.lights.begin() + index);
    RepairSelection(model.currentLight, static_cast<int32_t>(model.lights.size()));
}

void ToggleFlag(int32_t& flag) { flag = (flag == 1) ? 0 : 1; }

void DestroyAllGlobalLights(GlobalLightList& list) {
    for (auto& light : list.lights) light.reset();
    list.lights.clear();
    list.selectedGlobalLight = -1;
}

}  // namespace meshara
