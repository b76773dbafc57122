// The model list and model records: frame counts, current model access,
// and release of maps in order through the texture hook.

#include <gtest/gtest.h>

#include "lights/light_record.h"
#include "model/md2_model.h"

namespace meshara {
namespace {

std::unique_ptr<Md2Model> ModelWithFrames(int frames) {
    auto m = std::make_unique<Md2Model>();
    m->frames.resize(static_cast<size_t>(frames));
    return m;
}

TEST(ModelList, MaxFrameCountIsTheLargestAndIgnoresFramelessModels) {
    ModelList list;
    EXPECT_EQ(MaxFrameCount(list), 0);
    list.models.push_back(ModelWithFrames(0));
    EXPECT_EQ(MaxFrameCount(list), 0);
    list.models.push_back(ModelWithFrames(10));
    list.models.push_back(ModelWithFrames(4));
    EXPECT_EQ(MaxFrameCount(list), 10);
}

TEST(ModelList, CurrentModelOnlyForAValidIndex) {
    ModelList list;
    EXPECT_EQ(list.CurrentModel(), nullptr);
    list.models.push_back(ModelWithFrames(1));
    list.models.push_back(ModelWithFrames(2));
    for (int32_t bad : {-1, 2, 100, INT32_MIN}) {
        list.currentModel = bad;
        EXPECT_EQ(list.CurrentModel(), nullptr) << bad;
    }
    list.currentModel = 1;
    EXPECT_EQ(list.CurrentModel(), list.models[1].get());
}

std::vector<uint32_t> g_released;
void RecordRelease(uint32_t texture) { g_released.push_back(texture); }

class TextureHook : public ::testing::Test {
protected:
    void SetUp() override {
        g_released.clear();
        SetTextureReleaseHook(RecordRelease);
    }
    void TearDown() override { SetTextureReleaseHook(nullptr); }
};

std::unique_ptr<SkinImage> Skin(uint32_t texture) {
    auto s = std::make_unique<SkinImage>();
    s->texture = texture;
    return s;
}

TEST_F(TextureHook, ReleaseModelDeletesMapsInTextureSpecularityDiffusionGlowOrder) {
    auto m = ModelWithFrames(2);
    m->glowMap = Skin(4);
    m->diffusionMap = Skin(3);
    m->specularityMap = Skin(2);
    m->textureMap = Skin(1);
    LightRecord light;
    AppendModelLight(*m, &light);
    ReleaseModel(std::move(m));
    EXPECT_EQ(g_released, (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(light.name, "New Light");  // the light itself is not the model's
}

TEST_F(TextureHook, MissingMapsAndTexturelessPicturesReleaseNothing) {
    auto m = ModelWithFrames(1);
    m->diffusionMap = Skin(0);
    ReleaseModel(std::move(m));
    EXPECT_TRUE(g_released.empty());
}

TEST_F(TextureHook, MovingAPictureHandsOverItsTextureOnce) {
    SkinImage a;
    a.texture = 7;
    SkinImage b(std::move(a));
    SkinImage c;
    c.texture = 8;
    c = std::move(b);  // c's old texture goes, 7 moves on
    EXPECT_EQ(g_released, (std::vector<uint32_t>{8}));
    EXPECT_EQ(c.texture, 7u);
}

}  // namespace
}  // namespace meshara
