// The renderer on llvmpipe: what each pass puts on the screen, depth rules,
// wireframe, environment mapping, and both submission paths giving the same pixels.

#include <cmath>
#include <string>
#include <tuple>

#include "lights/light_record.h"
#include "model/md2_loader.h"
#include "render/framing.h"
#include "render/gl_view.h"
#include "render/submission.h"
#include "tests/test_support.h"
#include "tests/render_support.h"

namespace meshara::testing {
namespace {

int Brightness(Rgb c) { return c[0] + c[1] + c[2]; }
std::string Str(Rgb c) { return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]); }
::testing::AssertionResult IsColour(Rgb got, Rgb want, int tolerance = 2) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(got[i] - want[i]) > tolerance)
            return ::testing::AssertionFailure() << "got " << Str(got) << ", want " << Str(want);
    return ::testing::AssertionSuccess();
}

constexpr Rgb kBlue{0, 0, 255}, kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0};

class Scene : public RenderTest {
protected:
    Scene() { settings_.backgroundColor[2] = 1.0f; }  // blue
    void TearDown() override {
        models_.models.clear();  // textures go while the context is current
        RenderTest::TearDown();
    }
    Md2Model& Add(std::unique_ptr<Md2Model> model) {
        models_.models.push_back(std::move(model));
        models_.currentModel = 0;
        return *models_.models.back();
    }
    LightRecord* NewLight(Md2Model& model, bool specular = true) {
        lights_.push_back(std::make_unique<LightRecord>());
        if (!specular) std::fill(lights_.back()->specular, lights_.back()->specular + 3, 0.0f);
        AppendModelLight(model, lights_.back().get());
        return lights_.back().get();
    }
    Md2Model& LitSphere() {
        Md2Model& sphere = Add(ModelFromTriangles({Sphere(20), Sphere(18)}));
        NewLight(sphere);
        sphere.textureMap = CheckerSkin({255, 128, 0}, {40, 90, 255});
        return sphere;
    }
    Rgb Centre() { return At(Render(models_), 32, 32); }

    ModelList models_;
    std::vector<std::unique_ptr<LightRecord>> lights_;
};

TEST_F(Scene, BackgroundOnlyWithoutVisibleModelsAndUnlitModelsAreBlack) {
    auto picture = Render(models_);
    for (int y = 0; y < kSize; y += 7)
        for (int x = 0; x < kSize; x += 7) ASSERT_TRUE(IsColour(At(picture, x, y), kBlue)) << x << "," << y;
    Md2Model& square = Add(ModelFromTriangles({Square(0, 0, 10)}));
    square.visible = 0;
    EXPECT_EQ(Render(models_), picture);
    square.visible = 1;
    picture = Render(models_);
    EXPECT_TRUE(IsColour(At(picture, 32, 32), kBlack)) << "no lights";
    EXPECT_TRUE(IsColour(At(picture, 2, 2), kBlue));
}

TEST_F(Scene, NewLightComesFromTheUpperRightAndIsFixedToTheViewer) {
    NewLight(Add(ModelFromTriangles({Sphere(20)})));
    auto picture = Render(models_);
    // Lit on the upper right, dark on the lower left; the centre faces the viewer and is lit too.
    const Rgb upperRight = At(picture, 43, 20), lowerLeft = At(picture, 20, 43), centre = At(picture, 32, 32);
    EXPECT_GT(Brightness(upperRight), Brightness(centre));
    EXPECT_GT(Brightness(centre), 3 * 100);
    EXPECT_LT(Brightness(lowerLeft), 3 * 20);
    EXPECT_TRUE(IsColour(centre, Rgb{centre[0], centre[0], centre[0]}, 1)) << "white light on white: grey";
    camera_.rotation = Quat{0, 0, 1, 0};  // half a turn about the vertical does not turn the light
    auto turned = Render(models_);
    EXPECT_GT(Brightness(At(turned, 43, 20)), Brightness(At(turned, 20, 43)));
}

TEST_F(Scene, GlowIsUnlitMapsSwitchedOffAreUnusedAndTheLightTints) {
    Md2Model& square = Add(ModelFromTriangles({Square(0, 0, 10)}));
    square.glowMap = SolidSkin({0, 200, 40});
    EXPECT_TRUE(IsColour(Centre(), Rgb{0, 200, 40}));
    square.glowMapOn = 0;
    EXPECT_TRUE(IsColour(Centre(), kBlack));
    // A red texture under a white light shows red; switched off, the base is white.
    LightRecord* light = NewLight(square, false);
    square.textureMap = SolidSkin(kRed);
    const Rgb textured = Centre();
    EXPECT_GT(textured[0], 100);
    EXPECT_EQ(textured[1], 0);
    square.textureMapOn = 0;
    EXPECT_TRUE(IsColour(Centre(), Rgb{textured[0], textured[0], textured[0]}, 1));
    // The light's diffuse colour tints the diffusion pass; n . l = 1 / sqrt(3) for the direction (1, 1, 1).
    light->diffuse[1] = light->diffuse[2] = 0;
    EXPECT_TRUE(IsColour(Centre(), Rgb{147, 0, 0}, 3));
}

TEST_F(Scene, FrameOutOfAModelsRangeHidesThatModelOnly) {
    Add(ModelFromTriangles(std::vector(10, Square(-12, 0, 6)))).glowMap = SolidSkin(kRed);
    Add(ModelFromTriangles(std::vector(4, Square(12, 0, 6)))).glowMap = SolidSkin(kGreen);
    for (auto [frame, left, right] : {std::tuple{3, kRed, kGreen}, {4, kRed, kBlue}, {-1, kBlue, kBlue}}) {
        models_.currentFrame = frame;
        auto picture = Render(models_);
        EXPECT_TRUE(IsColour(At(picture, 20, 32), left)) << "frame " << frame;
        EXPECT_TRUE(IsColour(At(picture, 44, 32), right)) << "frame " << frame;
    }
}

TEST_F(Scene, WireframeDrawsEdgesAndCullsNothing) {
    Add(ModelFromTriangles({Square(0, 0, 15, false)})).glowMap = SolidSkin({255, 255, 0});
    EXPECT_TRUE(IsColour(Centre(), kBlue)) << "a back face is culled";
    auto lines = Render(models_, 1);
    int yellow = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) yellow += bool(IsColour(At(lines, x, y), Rgb{255, 255, 0}, 40));
    EXPECT_GT(yellow, 40) << "edges are drawn";
    EXPECT_TRUE(IsColour(At(lines, 40, 24), kBlue)) << "the inside of a triangle stays empty";
}

TEST_F(Scene, FastAndSafeAgreeWhereDepthsAgree) {
    Md2Model& sphere = LitSphere();
    sphere.diffusionMap = CheckerSkin({255, 255, 255}, {128, 128, 128}, 32, 32, 8);
    sphere.glowMap = SolidSkin({20, 20, 20});
    auto fast = Render(models_);
    settings_.multiPassMode = 1;
    auto safe = Render(models_);
    int differing = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) differing += !IsColour(At(fast, x, y), At(safe, x, y), 3);
    EXPECT_LT(differing, kSize * kSize / 50) << "pixels that differ between Fast and Safe";
}

TEST_F(Scene, EnvironmentMappingChangesOnlyTheDiffusionAndSpecularityPasses) {
    Md2Model& sphere = LitSphere();
    sphere.glowMap = CheckerSkin({0, 0, 0}, {0, 60, 0});
    auto plain = Render(models_);
    sphere.environmentMapped = 1;
    EXPECT_EQ(Render(models_), plain) << "without diffusion or specularity maps nothing changes";
    sphere.diffusionMap = CheckerSkin({255, 255, 255}, {60, 60, 60}, 32, 32, 2);
    auto sphereMapped = Render(models_);
    sphere.environmentMapped = 0;
    EXPECT_NE(Render(models_), sphereMapped) << "the diffusion pass takes sphere-map coordinates";
}

TEST_F(Scene, ImmediateAndArrayPathsGiveTheSamePixels) {
    Md2Model& sphere = LitSphere();
    NewLight(sphere)->position[0] = -150;
    sphere.diffusionMap = CheckerSkin({255, 255, 255}, {100, 100, 100}, 32, 32, 8);
    sphere.specularityMap = CheckerSkin({255, 255, 255}, {0, 0, 0}, 16, 16, 2);
    sphere.glowMap = CheckerSkin({0, 0, 0}, {0, 80, 0}, 32, 32, 16);
    int32_t* switches[4] = {&sphere.textureMapOn, &sphere.diffusionMapOn, &sphere.specularityMapOn, &sphere.glowMapOn};
    for (int combination = 0; combination < 128; ++combination) {
        for (int m = 0; m < 4; ++m) *switches[m] = (combination >> m) & 1;  // the maps this combination uses
        sphere.environmentMapped = (combination >> 4) & 1;
        settings_.multiPassMode = (combination >> 5) & 1;
        const int32_t wireframe = (combination >> 6) & 1;
        models_.currentFrame = combination % 2;
        SetSubmissionPath(SubmissionPath::Immediate);
        auto reference = Render(models_, wireframe);
        SetSubmissionPath(SubmissionPath::VertexArrays);
        ASSERT_EQ(Render(models_, wireframe), reference) << "combination " << combination;
    }
}

TEST_F(Scene, FitBringsAnyModelWhollyIntoViewAndFillsIt) {
    // A wide view, so both the height and the width have to be respected.
    constexpr int kWidth = 160, kHeight = 96;
    std::string why;
    context_ = OffscreenContext::Create(kWidth, kHeight, why);
    ASSERT_TRUE(context_) << why;
    InitGLState(kWidth, kHeight);
    ApplyViewportAndProjection(kWidth, kHeight);
    auto shifted = [](std::vector<Triangle> t, float dx, float dy, float dz) {
        for (Triangle& tri : t)
            for (auto& c : tri.corners) c = {c[0] + dx, c[1] + dy, c[2] + dz};
        return t;
    };
    std::vector<std::pair<std::string, std::unique_ptr<Md2Model>>> cases;
    cases.emplace_back("huge and far off", ModelFromTriangles({shifted(Sphere(3000), 9000, -4000, 2500)}));
    cases.emplace_back("tiny", ModelFromTriangles({shifted(Sphere(0.05f), 0.4f, 0.3f, 0)}));
    cases.emplace_back("tall and thin", ModelFromTriangles({shifted(Square(0, 0, 1), 0, 0, 0)}));
    if (!CorpusDir().empty())
        for (const char* name : {"dolphin", "faerie", "flag", "horse", "sydney"})
            cases.emplace_back(name, LoadMd2Model((CorpusDir() / "md2" / (std::string(name) + ".md2")).string()).Take());
    for (auto& [name, model] : cases) {
        ASSERT_TRUE(model) << name;
        models_.models.clear();
        Add(std::move(model));
        camera_ = Camera{};
        camera_.rotation = Quat{0.3f, 0.2f, 0, 0.932738f};  // any turn is undone
        ASSERT_TRUE(FitCamera(camera_, VisibleBounds(models_), kWidth, kHeight)) << name;
        const std::vector<uint8_t> picture = Render(models_);
        int left = kWidth, right = -1, top = kHeight, bottom = -1;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const uint8_t* p = &picture[(static_cast<size_t>(y) * kWidth + x) * 3];
                if (p[0] == 0 && p[1] == 0 && p[2] == 255) continue;  // background
                left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
            }
        EXPECT_TRUE(left > 0 && top > 0 && right < kWidth - 1 && bottom < kHeight - 1)
            << name << ": touches an edge: " << left << "," << top << " - " << right << "," << bottom;
        EXPECT_GE(std::max(right - left, bottom - top), kHeight / 3) << name << ": too small";
    }
}

}  // namespace
}  // namespace meshara::testing
