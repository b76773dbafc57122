#include "app/document.h"

namespace meshara {

void Document::Clear() {
    for (auto& model : models.models) ReleaseModel(std::move(model));
    models.models.clear();
    DestroyAllGlobalLights(lights);
}

}  // namespace meshara
