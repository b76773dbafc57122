#pragma once
// Putting a scene together: a model opened into a slot, its maps and lights,
// the camera fitted to it, and the picture the renderer is handed. The
// viewer's commands and every meshara-cli command build their scenes
// through these, so a model looks the same wherever it is drawn.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/result.h"
#include "render/scene.h"
#include "session/document.h"
#include "session/skin_search.h"

namespace meshara {

// Opens the model at path into a new slot at the end of the list, which
// becomes the current model; the list is unchanged when the file is refused.
// A glTF or OBJ file opens as the MD2 convert makes of it, unless
// convertOthers is false (the options bar's "+" opens MD2 files only).
Result<ModelSlot*> OpenModelFile(ModelList& list, const std::string& path, bool convertOthers = true);

// The same for a model made in memory.
ModelSlot& AddModel(ModelList& list, std::shared_ptr<const Md2Model> model, std::string path = {});

// Reads the picture at path into the slot's map of that kind. The new
// picture is whole before the old one goes, so a refused file leaves the
// map as it was.
Status LoadMapFile(ModelSlot& slot, MapKind kind, const std::string& path);

// The light a model opened from outside the options bar gets when no light
// is selected: "Key", from the viewer's upper left, with enough ambient
// light that the side turned away still shows its skin.
std::unique_ptr<LightRecord> MakeKeyLight();

// Appends light to the global list and an enabled entry for it to the slot.
LightRecord& AddLightTo(Document& doc, ModelSlot& slot, std::unique_ptr<LightRecord> light);

// The picture the slot's model names as its skin, searched for beside and
// above the model (session/skin_search.h): the first of its names that
// gives a usable picture, or only name skinIndex (the game's skin number,
// which must be below the count of names) when one is given.
FoundSkin FindNamedSkin(const ModelSlot& slot, std::optional<int32_t> skinIndex = {},
                        int64_t maxPixels = kMaxSkinPixels);

// A skin the user may choose for the slot's model: each name it gives, then
// the other pictures beside it.
struct SkinChoice {
    std::string label;                 // as text: the name the model gives, or the picture's file name
    std::string path;                  // the file it resolves to; empty when none is there
    std::optional<int32_t> skinIndex;  // the model's skin number; none for a picture beside the model
};
// At most kMaxSkinChoices: a folder of thousands of pictures shows its first ones.
inline constexpr size_t kMaxSkinChoices = 64;
std::vector<SkinChoice> SkinChoices(const ModelSlot& slot);

// Whether the slot's texture map was read from the file the choice resolves to.
bool IsCurrentSkin(const ModelSlot& slot, const SkinChoice& choice);

// Puts the chosen skin into the slot's texture map; the failure, and the
// map unchanged, when no usable picture is there.
Status LoadSkinChoice(ModelSlot& slot, const SkinChoice& choice);

// The model whose animations playback follows: the current one when it has
// the shared frame, else the first that has it; null when none has.
const Md2Model* PlaybackModel(const ModelList& models);

// Whether some light reaches the slot's model: an enabled entry among its
// first eight whose light is on.
bool IsLit(const ModelSlot& slot);

// What the renderer draws of the document as it is now: every visible
// model with the maps it has switched on and, for each of its first eight
// light entries, the light when the entry is enabled and the light is on.
Scene SceneOf(const Document& doc, const ViewState& view);

// What a view is fitted to: a still picture to its frame, an animation to
// the whole of the animation holding the frame.
enum class FitSpan { Frame, Animation };

// The box every visible model's drawn vertices take over the span (a model
// without the shared frame adds nothing), in GL's axes.
Bounds VisibleBounds(const ModelList& models, FitSpan span = FitSpan::Frame);

// Brings every visible model into a view of width x height pixels
// (view/framing.h); false, and nothing changed, when there is nothing to fit.
bool FitView(Camera& camera, const ModelList& models, int width, int height, FitSpan span = FitSpan::Frame);

}  // namespace meshara
