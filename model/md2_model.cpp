#include "model/md2_model.h"

#include <algorithm>

namespace meshara {

Md2Model::~Md2Model() {
    renderCache.reset();
    frames.clear();
    lights.clear();
    // Explicit order: member destruction would run it backwards.
    textureMap.reset();
    specularityMap.reset();
    diffusionMap.reset();
    glowMap.reset();
}

Md2Model* ModelList::CurrentModel() const {
    if (currentModel < 0 || currentModel >= Count()) return nullptr;
    return models[static_cast<size_t>(currentModel)].get();
}

int32_t MaxFrameCount(const ModelList& list) {
    int32_t most = 0;
    for (const auto& m : list.models) most = std::max(most, m->FrameCount());
    return most;
}

void ReleaseModel(std::unique_ptr<Md2Model> model) { model.reset(); }

}  // namespace meshara
