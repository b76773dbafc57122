// Lights as data: defaults, the removal walk over every model and the one
// selection-repair rule shared by both lists.

#include <gtest/gtest.h>

#include "lights/light_record.h"
#include "model/md2_model.h"

namespace meshara {
namespace {

struct World {
    GlobalLightList lights;
    ModelList models;

    LightRecord* AddLight(const std::string& name) {
        lights.lights.at(AppendGlobalLight(lights, std::make_unique<LightRecord>()))->name = name;
        return lights.lights.back().get();
    }
    Md2Model& AddModel(std::initializer_list<LightRecord*> uses) {
        models.models.push_back(std::make_unique<Md2Model>());
        for (LightRecord* l : uses) AppendModelLight(*models.models.back(), l);
        return *models.models.back();
    }
    static std::string Names(const Md2Model& m) {
        std::string out;
        for (const auto& e : m.lights) out += e.light->name;
        return out;
    }
};

TEST(LightDefaults, SetLightDefaultsRestoresEveryFloatAndNothingElse) {
    LightRecord l;
    std::vector<float*> fields;
    for (float* v : {l.position, l.spotDirection, l.ambient, l.diffuse, l.specular})
        for (int i = 0; i < 4; ++i) fields.push_back(v + i);
    for (float* f : {&l.quadraticAttenuation, &l.constantAttenuation, &l.linearAttenuation, &l.spotExponent,
                     &l.spotCutoff})
        fields.push_back(f);
    for (float* f : fields) *f = 42;
    l.on = 0;
    l.deleteMark = 1;
    l.name = "kept";
    SetLightDefaults(l);
    float want[] = {150, 150, 150, 0, -1, -1, -1, 0, 0, 0, 0, 1, 1, 1, 1, 1, .25f, .25f, .25f, 1, 0, 1, 0, 0, 180};
    for (size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(*fields[i], want[i]) << i;
    EXPECT_TRUE(l.on == 0 && l.deleteMark == 1 && l.name == "kept");
}

TEST(LightRules, ToggleFlagAndRepairSelection) {
    for (auto [from, to] : {std::pair{1, 0}, {0, 1}, {2, 1}, {-1, 1}}) {
        int32_t f = from;
        ToggleFlag(f);
        EXPECT_EQ(f, to) << from;
    }
    // {selection, count after removal, expected}: past the end goes to the first,
    // an earlier removal does not shift it, an empty list has none.
    for (auto [selection, count, expected] : {std::tuple{2, 2, 0}, {1, 2, 1}, {0, 0, -1}, {-1, 3, -1}, {-1, 0, -1}}) {
        int32_t s = selection;
        RepairSelection(s, count);
        EXPECT_EQ(s, expected) << selection << " of " << count;
    }
}

TEST(GlobalLights, RemovingALightRemovesEveryReferenceInEveryModel) {
    World w;
    LightRecord* a = w.AddLight("a");
    LightRecord* b = w.AddLight("b");
    LightRecord* c = w.AddLight("c");
    EXPECT_EQ(w.lights.selectedGlobalLight, -1) << "appending leaves the selection";
    Md2Model& m1 = w.AddModel({b, a, b, c, b});  // b used three times, adjacent too
    Md2Model& m2 = w.AddModel({b});
    Md2Model& m3 = w.AddModel({a, b});
    m1.currentLight = 4;
    m2.currentLight = m3.currentLight = 0;
    w.lights.selectedGlobalLight = 1;
    RemoveGlobalLight(w.lights, w.models, 1);
    EXPECT_EQ(World::Names(m1) + "|" + World::Names(m2) + "|" + World::Names(m3), "ac||a");
    // m1 pointed past the end after the removals; m2 is empty.
    EXPECT_EQ((std::vector{m1.currentLight, m2.currentLight, m3.currentLight}), (std::vector{0, -1, 0}));
    ASSERT_EQ(w.lights.Count(), 2);
    EXPECT_EQ(w.lights.lights[0]->name + w.lights.lights[1]->name, "ac");
    EXPECT_EQ(w.lights.selectedGlobalLight, 1) << "now on the light that followed";
    for (int32_t bad : {-1, 2, INT32_MAX}) RemoveGlobalLight(w.lights, w.models, bad);
    EXPECT_EQ(w.lights.Count(), 2) << "an invalid index changes nothing";
    EXPECT_EQ(m3.lights.size(), 1u);
    RemoveGlobalLight(w.lights, w.models, 1);
    EXPECT_EQ(w.lights.selectedGlobalLight, 0) << "the selected last light went";
    RemoveGlobalLight(w.lights, w.models, 0);
    EXPECT_EQ(w.lights.selectedGlobalLight, -1);
    EXPECT_EQ(AppendGlobalLight(w.lights, std::make_unique<LightRecord>()), 0);
    EXPECT_EQ(AppendGlobalLight(w.lights, std::make_unique<LightRecord>()), 1);
    w.lights.selectedGlobalLight = 1;
    w.models.models.clear();
    DestroyAllGlobalLights(w.lights);
    EXPECT_TRUE(w.lights.Count() == 0 && w.lights.selectedGlobalLight == -1 && !w.lights.SelectedLight());
}

TEST(ModelLights, DuplicatesAreEnabledAndRemovalRepairsTheSelectionAndKeepsTheLight) {
    World w;
    LightRecord* a = w.AddLight("a");
    LightRecord* b = w.AddLight("b");
    Md2Model& m = w.AddModel({a});
    m.lights[0].enabled = 0;
    AppendModelLight(m, a);
    AppendModelLight(m, b);
    EXPECT_EQ(World::Names(m), "aab");
    EXPECT_TRUE(m.lights[1].enabled == 1 && m.currentLight == -1);
    m.currentLight = 2;
    RemoveModelLight(m, 2);
    EXPECT_EQ(m.currentLight, 0);
    for (int32_t bad : {5, -1}) RemoveModelLight(m, bad);
    EXPECT_EQ(m.lights.size(), 2u);
    for (int i = 0; i < 2; ++i) RemoveModelLight(m, 0);
    EXPECT_EQ(m.currentLight, -1);
    EXPECT_EQ(w.lights.Count(), 2);
}

}  // namespace
}  // namespace meshara
