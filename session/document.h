#pragma once
// Everything the viewer holds for one run: the open models, each in a slot
// with how it is shown (maps, switches, lights), the global light list and
// the render settings, plus the view's own state (camera, wireframe,
// playback). Nothing here knows about windows or GL.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/light_record.h"
#include "formats/skin_image.h"
#include "model/md2_model.h"
#include "render/scene.h"
#include "view/camera.h"

namespace meshara {

// A model's reference to a light of the global list; the model does not own it.
struct ModelLightEntry {
    LightRecord* light = nullptr;
    bool enabled = true;  // this light lights this model
};

// One open model and how the viewer shows it.
struct ModelSlot {
    std::shared_ptr<const Md2Model> model;
    std::string path;  // the file it was opened from; empty when made in memory
    std::array<std::shared_ptr<const SkinImage>, kMapKinds> maps;  // by MapKind; null = none loaded
    std::array<bool, kMapKinds> mapOn = {true, true, true, true};  // kept while a map is cleared or replaced
    std::vector<ModelLightEntry> lights;
    int32_t currentLight = -1;  // index into lights, -1 = none
    bool visible = true;
    bool environmentMapped = false;
    // The MD2 a glTF or OBJ file was made into in memory when the model was
    // opened from one; null for a model opened from an MD2.
    std::shared_ptr<const std::vector<uint8_t>> convertedMd2;
    // The player a body or its weapon was opened from (session/player.h); null for a model of its own.
    std::shared_ptr<const struct PlayerFolder> player;
    bool isWeapon = false;  // the player's weapon, not its body
    // What opening and dressing the model found worth telling (a skin worn from elsewhere...).
    std::vector<std::string> notes;

    const std::string& Name() const { return model->name; }
    std::shared_ptr<const SkinImage>& Map(MapKind kind) { return maps[static_cast<size_t>(kind)]; }
    const std::shared_ptr<const SkinImage>& Map(MapKind kind) const { return maps[static_cast<size_t>(kind)]; }
    bool& MapOn(MapKind kind) { return mapOn[static_cast<size_t>(kind)]; }
    bool MapOn(MapKind kind) const { return mapOn[static_cast<size_t>(kind)]; }
};

struct ModelList {
    std::vector<std::unique_ptr<ModelSlot>> models;  // in the order they were opened
    int32_t currentModel = -1;                       // -1 = none
    int32_t currentFrame = 0;                        // shared by all models

    int32_t Count() const { return static_cast<int32_t>(models.size()); }
    // The slot at currentModel when that index is valid, otherwise null.
    ModelSlot* CurrentModel() const;
    // Largest frame count among the models, 0 when there are none.
    int32_t MaxFrameCount() const;
};

struct GlobalLightList {
    std::vector<std::unique_ptr<LightRecord>> lights;  // in order of addition
    int32_t selectedGlobalLight = -1;                   // -1 = none

    int32_t Count() const { return static_cast<int32_t>(lights.size()); }
    // The light at selectedGlobalLight when that index is valid, otherwise null.
    LightRecord* SelectedLight() const;
};

struct Document {
    ModelList models;
    GlobalLightList lights;
    RenderSettings settings;

    // Releases every model, then every light.
    void Clear();
};

// Playback of the animation that holds the shared frame. The document only
// ever holds whole frames of the file; the blend toward the next one is the
// view's, and it is dropped whenever playback stops.
struct Playback {
    bool playing = false;
    int32_t next = -1;  // the frame after the shared one in its animation's loop, -1 when not playing
    double phase = 0;   // how far from the shared frame toward next, 0 to 1
};

struct ViewState {
    Camera camera;
    bool wireframe = false;
    Playback playback;
    double playbackSpeed = 1;  // times the file's rate; kept while playback stops and starts
    ShowItems show;            // Rendering > Show
    // Rendering > Show > Skin Layout: whether its window is shown, and the
    // current model's triangle pointed at in it (-1 for none), picked out
    // there and in the view.
    bool layoutShown = false;
    int32_t pointedTriangle = -1;
};

// Takes ownership and appends; returns the new index. Selection unchanged.
int32_t AppendGlobalLight(GlobalLightList& list, std::unique_ptr<LightRecord> light);

// Removes the light at index from the list and every reference to it from
// every model, then repairs the selections. An invalid index does nothing.
void RemoveGlobalLight(GlobalLightList& list, ModelList& models, int32_t index);

// Appends an enabled entry for light; duplicates are allowed.
void AppendModelLight(ModelSlot& slot, LightRecord* light);

// Removes the slot's entry at index (invalid index: nothing); the light stays.
void RemoveModelLight(ModelSlot& slot, int32_t index);

// After removing an entry from a list now holding count entries: an index at
// or past the end becomes 0, and an empty list has none (-1). Earlier removals
// do not shift it, so it lands on the entry that followed.
void RepairSelection(int32_t& selection, int32_t count);

}  // namespace meshara
