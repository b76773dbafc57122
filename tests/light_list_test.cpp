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
        auto l = std::make_unique<LightRecord>();
        l->name = name;
        LightRecord* raw = l.get();
        AppendGlobalLight(lights, std::move(l));
        return raw;
    }
    Md2Model& AddModel() {
        models.models.push_back(std::make_unique<Md2Model>());
        return *models.models.back();
    }
    static std::vector<std::string> Names(const Md2Model& m) {
        std::vector<std::string> out;
        for (const auto& e : m.lights) out.push_back(e.light->name);
        return out;
    }
};

TEST(LightDefaults, SetLightDefaultsRestoresEveryFloatAndNothingElse) {
    LightRecord l;
    for (float* v : {l.position, l.spotDirection, l.ambient, l.diffuse, l.specular})
        for (int i = 0; i < 4; ++i) v[i] = 42;
    l.quadraticAttenuation = l.constantAttenuation = l.linearAttenuation = l.spotExponent = l.spotCutoff = 42;
    l.on = 0;
    l.deleteMark = 1;
    l.name = "kept";
    SetLightDefaults(l);
    const float expected[5][4] = {
        {150, 150, 150, 0}, {-1, -1, -1, 0}, {0, 0, 0, 1}, {1, 1, 1, 1}, {0.25f, 0.25f, 0.25f, 1}};
    const float* got[5] = {l.position, l.spotDirection, l.ambient, l.diffuse, l.specular};
    for (int v = 0; v < 5; ++v)
        for (int i = 0; i < 4; ++i) EXPECT_EQ(got[v][i], expected[v][i]) << v << "," << i;
    EXPECT_EQ(l.quadraticAttenuation, 0);
    EXPECT_EQ(l.constantAttenuation, 1);
    EXPECT_EQ(l.linearAttenuation, 0);
    EXPECT_EQ(l.spotExponent, 0);
    EXPECT_EQ(l.spotCutoff, 180);
    EXPECT_EQ(l.on, 0);
    EXPECT_EQ(l.deleteMark, 1);
    EXPECT_EQ(l.name, "kept");
}

TEST(ToggleFlag, OneBecomesZeroAndAnythingElseBecomesOne) {
    for (auto [from, to] : {std::pair{1, 0}, {0, 1}, {2, 1}, {-1, 1}}) {
        int32_t f = from;
        ToggleFlag(f);
        EXPECT_EQ(f, to) << from;
    }
}

TEST(RepairSelection, PastTheEndGoesToFirstAndEmptyGoesToNone) {
    const struct {
        int32_t selection, count, expected;
    } cases[] = {
        {2, 2, 0},   // was the last of three
        {1, 2, 1},   // not shifted when an earlier entry went
        {0, 0, -1},  // list emptied
        {-1, 3, -1}, // nothing selected stays so
        {-1, 0, -1},
    };
    for (const auto& c : cases) {
        int32_t s = c.selection;
        RepairSelection(s, c.count);
        EXPECT_EQ(s, c.expected) << c.selection << " of " << c.count;
    }
}

TEST(GlobalLights, AppendKeepsOrderAndSelection) {
    World w;
    w.lights.selectedGlobalLight = -1;
    EXPECT_EQ(AppendGlobalLight(w.lights, std::make_unique<LightRecord>()), 0);
    EXPECT_EQ(AppendGlobalLight(w.lights, std::make_unique<LightRecord>()), 1);
    EXPECT_EQ(w.lights.selectedGlobalLight, -1);
}

TEST(GlobalLights, RemovingALightRemovesEveryReferenceInEveryModel) {
    World w;
    LightRecord* a = w.AddLight("a");
    LightRecord* b = w.AddLight("b");
    LightRecord* c = w.AddLight("c");
    Md2Model& m1 = w.AddModel();
    Md2Model& m2 = w.AddModel();
    Md2Model& m3 = w.AddModel();
    for (LightRecord* l : {b, a, b, c, b}) AppendModelLight(m1, l);  // b used three times, adjacent too
    AppendModelLight(m2, b);
    AppendModelLight(m3, a);
    AppendModelLight(m3, b);
    m1.currentLight = 4;
    m2.currentLight = 0;
    m3.currentLight = 0;
    w.lights.selectedGlobalLight = 1;

    RemoveGlobalLight(w.lights, w.models, 1);

    EXPECT_EQ(World::Names(m1), (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(m2.lights.empty());
    EXPECT_EQ(World::Names(m3), (std::vector<std::string>{"a"}));
    EXPECT_EQ(m1.currentLight, 0);  // pointed past the end after the removals
    EXPECT_EQ(m2.currentLight, -1);
    EXPECT_EQ(m3.currentLight, 0);
    ASSERT_EQ(w.lights.Count(), 2);
    EXPECT_EQ(w.lights.lights[0]->name, "a");
    EXPECT_EQ(w.lights.lights[1]->name, "c");
    EXPECT_EQ(w.lights.selectedGlobalLight, 1);  // now on the light that followed
}

TEST(GlobalLights, DeletingTheSelectedLastLight) {
    World w;
    w.AddLight("a");
    w.AddLight("b");
    w.lights.selectedGlobalLight = 1;
    RemoveGlobalLight(w.lights, w.models, 1);
    EXPECT_EQ(w.lights.selectedGlobalLight, 0);
    RemoveGlobalLight(w.lights, w.models, 0);
    EXPECT_EQ(w.lights.selectedGlobalLight, -1);
    EXPECT_EQ(w.lights.Count(), 0);
}

TEST(GlobalLights, InvalidIndexChangesNothing) {
    World w;
    LightRecord* a = w.AddLight("a");
    Md2Model& m = w.AddModel();
    AppendModelLight(m, a);
    w.lights.selectedGlobalLight = 0;
    for (int32_t bad : {-1, 1, INT32_MAX}) RemoveGlobalLight(w.lights, w.models, bad);
    EXPECT_EQ(w.lights.Count(), 1);
    EXPECT_EQ(m.lights.size(), 1u);
    EXPECT_EQ(w.lights.selectedGlobalLight, 0);
}

TEST(ModelLights, AddingAllowsDuplicatesAndEnablesThem) {
    LightRecord l;
    Md2Model m;
    AppendModelLight(m, &l);
    m.lights[0].enabled = 0;
    AppendModelLight(m, &l);
    ASSERT_EQ(m.lights.size(), 2u);
    EXPECT_EQ(m.lights[1].light, &l);
    EXPECT_EQ(m.lights[1].enabled, 1);
    EXPECT_EQ(m.currentLight, -1);
}

TEST(ModelLights, RemovingAnEntryRepairsTheSelectionAndKeepsTheLight) {
    World w;
    LightRecord* a = w.AddLight("a");
    LightRecord* b = w.AddLight("b");
    Md2Model& m = w.AddModel();
    AppendModelLight(m, a);
    AppendModelLight(m, b);
    m.currentLight = 1;
    RemoveModelLight(m, 1);
    EXPECT_EQ(World::Names(m), std::vector<std::string>{"a"});
    EXPECT_EQ(m.currentLight, 0);
    RemoveModelLight(m, 5);  // invalid: nothing
    RemoveModelLight(m, -1);
    EXPECT_EQ(m.lights.size(), 1u);
    RemoveModelLight(m, 0);
    EXPECT_EQ(m.currentLight, -1);
    EXPECT_EQ(w.lights.Count(), 2);
}

TEST(GlobalLights, DestroyAllEmptiesTheList) {
    World w;
    w.AddLight("a");
    w.AddLight("b");
    w.lights.selectedGlobalLight = 1;
    DestroyAllGlobalLights(w.lights);
    EXPECT_EQ(w.lights.Count(), 0);
    EXPECT_EQ(w.lights.SelectedLight(), nullptr);
}

}  // namespace
}  // namespace meshara
