// The renderer on llvmpipe: what each pass puts on the screen, the depth
// rules, wireframe, environment mapping, and the two submission paths
// giving the same pixels.

#include <GL/gl.h>

#include <cmath>

#include "lights/light_record.h"
#include "render/submission.h"
#include "tests/render_support.h"

namespace meshara::testing {
namespace {

bool Near(Rgb a, Rgb b, int tolerance = 2) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    return true;
}

int Brightness(Rgb c) { return c[0] + c[1] + c[2]; }

::testing::AssertionResult IsColour(Rgb got, Rgb want) {
    if (Near(got, want)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << int(got[0]) << ", " << int(got[1]) << ", " << int(got[2])
                                         << "), want (" << int(want[0]) << ", " << int(want[1]) << ", "
                                         << int(want[2]) << ")";
}

class Scene : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        settings_.backgroundColor[0] = 0.0f;
        settings_.backgroundColor[1] = 0.0f;
        settings_.backgroundColor[2] = 1.0f;
    }
    static constexpr Rgb kBlue{0, 0, 255};

    Md2Model& Add(std::unique_ptr<Md2Model> model) {
        models_.models.push_back(std::move(model));
        models_.currentModel = 0;
        return *models_.models.back();
    }
    LightRecord* NewLight(Md2Model& model) {
        lights_.push_back(std::make_unique<LightRecord>());
        AppendModelLight(model, lights_.back().get());
        return lights_.back().get();
    }
    void TearDown() override {
        models_.models.clear();  // textures go while the context is current
        RenderTest::TearDown();
    }

    ModelList models_;
    std::vector<std::unique_ptr<LightRecord>> lights_;
};

TEST_F(Scene, EmptyListOrHiddenModelShowsTheBackgroundOnly) {
    auto picture = Render(models_);
    for (int y = 0; y < kSize; y += 7)
        for (int x = 0; x < kSize; x += 7) ASSERT_TRUE(IsColour(At(picture, x, y), kBlue)) << x << "," << y;
    Add(ModelFromTriangles({Square(0, 0, 10)})).visible = 0;
    EXPECT_EQ(Render(models_), picture);
}

TEST_F(Scene, ModelWithoutLightsIsBlack) {
    Add(ModelFromTriangles({Square(0, 0, 10)}));
    auto picture = Render(models_);
    EXPECT_TRUE(IsColour(At(picture, 32, 32), Rgb{0, 0, 0}));
    EXPECT_TRUE(IsColour(At(picture, 2, 2), kBlue));
}

TEST_F(Scene, NewLightComesFromTheUpperRightOnTheViewersSide) {
    Md2Model& sphere = Add(ModelFromTriangles({Sphere(20)}));
    NewLight(sphere);
    auto picture = Render(models_);
    // Lit on the upper right, dark on the lower left; the centre faces the viewer and is lit too.
    const Rgb upperRight = At(picture, 43, 20), lowerLeft = At(picture, 20, 43), centre = At(picture, 32, 32);
    EXPECT_GT(Brightness(upperRight), Brightness(centre));
    EXPECT_GT(Brightness(centre), 3 * 100);
    EXPECT_LT(Brightness(lowerLeft), 3 * 20);
    // White light on the untextured white base: grey, not tinted.
    EXPECT_TRUE(Near(centre, Rgb{centre[0], centre[0], centre[0]}, 1));

    // Turning the model does not turn the light: it is fixed to the viewer.
    camera_.rotation = Quat{0, 0, 1, 0};  // half a turn about the vertical
    auto turned = Render(models_);
    EXPECT_GT(Brightness(At(turned, 43, 20)), Brightness(At(turned, 20, 43)));
}

TEST_F(Scene, LightDiffuseColourTintsTheDiffusionPass) {
    Md2Model& square = Add(ModelFromTriangles({Square(0, 0, 20)}));
    LightRecord* light = NewLight(square);
    light->diffuse[1] = light->diffuse[2] = 0;
    light->specular[0] = light->specular[1] = light->specular[2] = 0;
    const Rgb c = At(Render(models_), 32, 32);
    // n . l = 1 / sqrt(3) for the direction (1, 1, 1): 147 of 255 in red only.
    EXPECT_NEAR(c[0], 147, 3);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], 0);
}

TEST_F(Scene, GlowMapAddsItsColourUnlit) {
    Md2Model& square = Add(ModelFromTriangles({Square(0, 0, 10)}));
    square.glowMap = SolidSkin({0, 200, 40});
    EXPECT_TRUE(IsColour(At(Render(models_), 32, 32), Rgb{0, 200, 40}));
}

TEST_F(Scene, MapsSwitchedOffAreNotUsed) {
    Md2Model& square = Add(ModelFromTriangles({Square(0, 0, 10)}));
    square.glowMap = SolidSkin({0, 200, 40});
    square.glowMapOn = 0;
    EXPECT_TRUE(IsColour(At(Render(models_), 32, 32), Rgb{0, 0, 0}));

    // A red texture under a white light shows red; switched off, the base is white.
    LightRecord* light = NewLight(square);
    light->specular[0] = light->specular[1] = light->specular[2] = 0;
    square.textureMap = SolidSkin({255, 0, 0});
    const Rgb textured = At(Render(models_), 32, 32);
    EXPECT_GT(textured[0], 100);
    EXPECT_EQ(textured[1], 0);
    square.textureMapOn = 0;
    const Rgb plain = At(Render(models_), 32, 32);
    EXPECT_TRUE(Near(plain, Rgb{textured[0], textured[0], textured[0]}, 1));
}

TEST_F(Scene, FrameOutOfAModelsRangeHidesThatModelOnly) {
    std::vector<std::vector<Triangle>> ten(10, Square(-12, 0, 6)), four(4, Square(12, 0, 6));
    Md2Model& left = Add(ModelFromTriangles(ten));
    Md2Model& right = Add(ModelFromTriangles(four));
    left.glowMap = SolidSkin({255, 0, 0});
    right.glowMap = SolidSkin({0, 255, 0});
    models_.currentFrame = 3;
    auto both = Render(models_);
    EXPECT_TRUE(IsColour(At(both, 20, 32), Rgb{255, 0, 0}));
    EXPECT_TRUE(IsColour(At(both, 44, 32), Rgb{0, 255, 0}));
    models_.currentFrame = 6;
    auto one = Render(models_);
    EXPECT_TRUE(IsColour(At(one, 20, 32), Rgb{255, 0, 0}));
    EXPECT_TRUE(IsColour(At(one, 44, 32), kBlue));
    models_.currentFrame = -1;
    EXPECT_TRUE(IsColour(At(Render(models_), 20, 32), kBlue));
}

TEST_F(Scene, WireframeDrawsEdgesAndCullsNothing) {
    Md2Model& back = Add(ModelFromTriangles({Square(0, 0, 15, false)}));
    back.glowMap = SolidSkin({255, 255, 0});
    auto filled = Render(models_);
    EXPECT_TRUE(IsColour(At(filled, 32, 32), kBlue)) << "a back face is culled";
    auto lines = Render(models_, 1);
    int yellow = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) yellow += Near(At(lines, x, y), Rgb{255, 255, 0}, 40);
    EXPECT_GT(yellow, 40) << "edges are drawn";
    EXPECT_TRUE(IsColour(At(lines, 40, 24), kBlue)) << "the inside of a triangle stays empty";
}

TEST_F(Scene, FastAndSafeAgreeWhereDepthsAgree) {
    Md2Model& sphere = Add(ModelFromTriangles({Sphere(20)}));
    NewLight(sphere);
    sphere.textureMap = CheckerSkin({255, 128, 0}, {40, 90, 255});
    sphere.diffusionMap = CheckerSkin({255, 255, 255}, {128, 128, 128}, 32, 32, 8);
    sphere.glowMap = SolidSkin({20, 20, 20});
    settings_.multiPassMode = 0;
    auto fast = Render(models_);
    settings_.multiPassMode = 1;
    auto safe = Render(models_);
    int differing = 0;
    for (size_t i = 0; i < fast.size(); i += 3)
        differing += !Near({fast[i], fast[i + 1], fast[i + 2]}, {safe[i], safe[i + 1], safe[i + 2]}, 3);
    EXPECT_LT(differing, kSize * kSize / 50) << "pixels that differ between Fast and Safe";
}

TEST_F(Scene, EnvironmentMappingChangesOnlyTheDiffusionAndSpecularityPasses) {
    Md2Model& sphere = Add(ModelFromTriangles({Sphere(20)}));
    NewLight(sphere);
    sphere.textureMap = CheckerSkin({255, 128, 0}, {40, 90, 255});
    sphere.glowMap = CheckerSkin({0, 0, 0}, {0, 60, 0});
    auto plain = Render(models_);
    sphere.environmentMapped = 1;
    EXPECT_EQ(Render(models_), plain) << "without diffusion or specularity maps nothing changes";

    sphere.diffusionMap = CheckerSkin({255, 255, 255}, {60, 60, 60}, 32, 32, 2);
    sphere.environmentMapped = 0;
    auto ownCoordinates = Render(models_);
    sphere.environmentMapped = 1;
    EXPECT_NE(Render(models_), ownCoordinates) << "the diffusion pass takes sphere-map coordinates";
}

TEST_F(Scene, ImmediateAndArrayPathsGiveTheSamePixels) {
    Md2Model& sphere = Add(ModelFromTriangles({Sphere(20), Sphere(18)}));
    NewLight(sphere);
    NewLight(sphere)->position[0] = -150;
    std::unique_ptr<SkinImage> maps[4] = {CheckerSkin({255, 128, 0}, {40, 90, 255}),
                                          CheckerSkin({255, 255, 255}, {100, 100, 100}, 32, 32, 8),
                                          CheckerSkin({255, 255, 255}, {0, 0, 0}, 16, 16, 2),
                                          CheckerSkin({0, 0, 0}, {0, 80, 0}, 32, 32, 16)};
    std::unique_ptr<SkinImage>* slots[4] = {&sphere.textureMap, &sphere.diffusionMap, &sphere.specularityMap,
                                           &sphere.glowMap};
    for (int combination = 0; combination < 128; ++combination) {
        for (int m = 0; m < 4; ++m)  // the maps this combination uses
            if (combination & (1 << m)) *slots[m] = std::move(maps[m]);
        sphere.environmentMapped = (combination >> 4) & 1;
        settings_.multiPassMode = (combination >> 5) & 1;
        const int32_t wireframe = (combination >> 6) & 1;
        models_.currentFrame = combination % 2;

        SetSubmissionPath(SubmissionPath::Immediate);
        auto reference = Render(models_, wireframe);
        SetSubmissionPath(SubmissionPath::VertexArrays);
        auto arrays = Render(models_, wireframe);
        ASSERT_EQ(arrays, reference) << "combination " << combination;

        for (int m = 0; m < 4; ++m)
            if (*slots[m]) maps[m] = std::move(*slots[m]);
    }
}

}  // namespace
}  // namespace meshara::testing
