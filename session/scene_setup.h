#pragma once
// Putting a scene together: a model opened into a slot, its maps and lights,
// the camera fitted to it, and the picture the renderer is handed. The
// viewer's commands and every meshara-cli command build their scenes
// through these, so a model looks the same wherever it is drawn.

#include <memory>
#include <string>

#include "io/result.h"
#include "render/scene.h"
#include "session/document.h"

namespace meshara {

// Opens the model at path into a new slot at the end of the list, which
// becomes the current model; the list is unchanged when the file is refused.
Result<ModelSlot*> OpenModelFile(ModelList& list, const std::string& path);

// The same for a model made in memory.
ModelSlot& AddModel(ModelList& list, std::shared_ptr<const Md2Model> model, std::string path = {});

// Reads the picture at path into the slot's map of that kind. The new
// picture is whole before the old one goes, so a refused file leaves the
// map as it was.
Status LoadMapFile(ModelSlot& slot, MapKind kind, const std::string& path);

// Appends light to the global list and an enabled entry for it to the slot.
LightRecord& AddLightTo(Document& doc, ModelSlot& slot, std::unique_ptr<LightRecord> light);

// The picture file the slot's model names as its skin, searched for beside
// and above the model (session/skin_search.h); empty when none is found.
std::string NamedSkinFile(const ModelSlot& slot);

// What the renderer draws of the document as it is now: every visible
// model with the maps it has switched on and, for each of its first eight
// light entries, the light when the entry is enabled and the light is on.
Scene SceneOf(const Document& doc, const ViewState& view);

// The box every visible model takes over the animation holding the shared
// frame (a model without that frame adds nothing), in GL's axes.
Bounds VisibleBounds(const ModelList& models);

// Brings every visible model into a view of width x height pixels
// (view/framing.h); false, and nothing changed, when there is nothing to fit.
bool FitView(Camera& camera, const ModelList& models, int width, int height);

}  // namespace meshara
