#pragma once
// Lights as data: one record per light, owned by the global list; models
// refer to records through ModelLightEntry (model/md2_model.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace meshara {

struct ModelList;
struct Md2Model;

struct LightRecord {
    float position[4] = {150, 150, 150, 0};   // GL_POSITION, view space; w = 0 makes it directional
    float spotDirection[4] = {-1, -1, -1, 0}; // GL_SPOT_DIRECTION (x, y, z used)
    float ambient[4] = {0, 0, 0, 1};          // R, G, B, A
    float diffuse[4] = {1, 1, 1, 1};
    float specular[4] = {0.25f, 0.25f, 0.25f, 1};
    // Stored quadratic, constant, linear; light files carry constant, linear, quadratic.
    float quadraticAttenuation = 0;
    float constantAttenuation = 1;
    float linearAttenuation = 0;
    float spotExponent = 0;
    float spotCutoff = 180;  // degrees; 180 = no cone
    int32_t on = 1;          // global switch
    int32_t deleteMark = 0;  // scratch, only while a light is being removed
    std::string name = "New Light";
};

// Writes the fifteen default floating-point values; leaves on, deleteMark and name alone.
void SetLightDefaults(LightRecord& light);

struct GlobalLightList {
    std::vector<std::unique_ptr<LightRecord>> lights;  // in order of addition
    int32_t selectedGlobalLight = -1;                   // -1 = none

    int32_t Count() const { return static_cast<int32_t>(lights.size()); }
    // The light at selectedGlobalLight when that index is valid, otherwise null.
    LightRecord* SelectedLight() const;
};

// Takes ownership and appends; returns the new index. Selection unchanged.
int32_t AppendGlobalLight(GlobalLightList& list, std::unique_ptr<LightRecord> light);

// Removes the light at index from the list and every reference to it from
// every model, then repairs the selections. An invalid index does nothing.
void RemoveGlobalLight(GlobalLightList& list, ModelList& models, int32_t index);

// Appends an enabled entry for light; duplicates are allowed.
void AppendModelLight(Md2Model& model, LightRecord* light);

// Removes the model's entry at index (invalid index: nothing); the light stays.
void RemoveModelLight(Md2Model& model, int32_t index);

// The rule of every on/off switch: 1 becomes 0, anything else becomes 1.
void ToggleFlag(int32_t& flag);

// Destroys every light in list order and empties the list. Models must be gone first.
void DestroyAllGlobalLights(GlobalLightList& list);

// After removing an entry from a list now holding count entries: an index at
// or past the end becomes 0, and an empty list has none (-1). Earlier removals
// do not shift it, so it lands on the entry that followed.
void RepairSelection(int32_t& selection, int32_t count);

}  // namespace meshara
