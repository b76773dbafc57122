// The renderer on llvmpipe: what each pass puts on the screen, depth rules,
// wireframe, environment mapping, and both submission paths giving the same pixels.

#include <cmath>
#include <string>
#include <tuple>

#include "render/gl_view.h"
#include "session/scene_setup.h"
#include "tests/render_support.h"
#include "tests/test_support.h"

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
    Scene() { doc_.settings.backgroundColor[2] = 1.0f; }  // blue
    ModelSlot& LitSphere() {
        ModelSlot& sphere = Add(ModelFromTriangles({Sphere(20), Sphere(18)}));
        NewLight(sphere);
        sphere.Map(MapKind::Texture) = CheckerSkin({255, 128, 0}, {40, 90, 255});
        return sphere;
    }
    Rgb Centre() { return At(Render(), 32, 32); }
};

TEST_F(Scene, BackgroundOnlyWithoutVisibleModelsAndUnlitModelsAreBlack) {
    auto picture = Render();
    for (int y = 0; y < kSize; y += 7)
        for (int x = 0; x < kSize; x += 7) ASSERT_TRUE(IsColour(At(picture, x, y), kBlue)) << x << "," << y;
    ModelSlot& square = Add(ModelFromTriangles({Square(0, 0, 10)}));
    square.visible = false;
    EXPECT_EQ(Render(), picture);
    square.visible = true;
    picture = Render();
    EXPECT_TRUE(IsColour(At(picture, 32, 32), kBlack)) << "no lights";
    EXPECT_TRUE(IsColour(At(picture, 2, 2), kBlue));
}

TEST_F(Scene, NewLightComesFromTheUpperRightAndIsFixedToTheViewer) {
    NewLight(Add(ModelFromTriangles({Sphere(20)})));
    auto picture = Render();
    // Lit on the upper right, dark on the lower left; the centre faces the viewer and is lit too.
    const Rgb upperRight = At(picture, 43, 20), lowerLeft = At(picture, 20, 43), centre = At(picture, 32, 32);
    EXPECT_GT(Brightness(upperRight), Brightness(centre));
    EXPECT_GT(Brightness(centre), 3 * 100);
    EXPECT_LT(Brightness(lowerLeft), 3 * 20);
    EXPECT_TRUE(IsColour(centre, Rgb{centre[0], centre[0], centre[0]}, 1)) << "white light on white: grey";
    view_.camera.rotation = Quat{0, 0, 1, 0};  // half a turn about the vertical does not turn the light
    auto turned = Render();
    EXPECT_GT(Brightness(At(turned, 43, 20)), Brightness(At(turned, 20, 43)));
}

TEST_F(Scene, GlowIsUnlitMapsSwitchedOffAreUnusedAndTheLightTints) {
    ModelSlot& square = Add(ModelFromTriangles({Square(0, 0, 10)}));
    square.Map(MapKind::Glow) = SolidSkin({0, 200, 40});
    EXPECT_TRUE(IsColour(Centre(), Rgb{0, 200, 40}));
    square.MapOn(MapKind::Glow) = false;
    EXPECT_TRUE(IsColour(Centre(), kBlack));
    // A red texture under a white light shows red; switched off, the base is white.
    LightRecord& light = NewLight(square, false);
    square.Map(MapKind::Texture) = SolidSkin(kRed);
    const Rgb textured = Centre();
    EXPECT_GT(textured[0], 100);
    EXPECT_EQ(textured[1], 0);
    square.MapOn(MapKind::Texture) = false;
    EXPECT_TRUE(IsColour(Centre(), Rgb{textured[0], textured[0], textured[0]}, 1));
    // A light switched off for this model, or everywhere, lights nothing.
    for (bool* off : {&square.lights[0].enabled, &light.on}) {
        *off = false;
        EXPECT_TRUE(IsColour(Centre(), kBlack));
        *off = true;
    }
    // The light's diffuse colour tints the diffusion pass; n . l = 1 / sqrt(3) for the direction (1, 1, 1).
    light.diffuse[1] = light.diffuse[2] = 0;
    EXPECT_TRUE(IsColour(Centre(), Rgb{147, 0, 0}, 3));
}

TEST_F(Scene, FrameOutOfAModelsRangeHidesThatModelOnly) {
    Add(ModelFromTriangles(std::vector(10, Square(-12, 0, 6)))).Map(MapKind::Glow) = SolidSkin(kRed);
    Add(ModelFromTriangles(std::vector(4, Square(12, 0, 6)))).Map(MapKind::Glow) = SolidSkin(kGreen);
    for (auto [frame, left, right] : {std::tuple{3, kRed, kGreen}, {4, kRed, kBlue}, {-1, kBlue, kBlue}}) {
        doc_.models.currentFrame = frame;
        auto picture = Render();
        EXPECT_TRUE(IsColour(At(picture, 20, 32), left)) << "frame " << frame;
        EXPECT_TRUE(IsColour(At(picture, 44, 32), right)) << "frame " << frame;
    }
}

TEST_F(Scene, WireframeDrawsEdgesAndCullsNothing) {
    Add(ModelFromTriangles({Square(0, 0, 15, false)})).Map(MapKind::Glow) = SolidSkin({255, 255, 0});
    EXPECT_TRUE(IsColour(Centre(), kBlue)) << "a back face is culled";
    view_.wireframe = true;
    auto lines = Render();
    int yellow = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) yellow += bool(IsColour(At(lines, x, y), Rgb{255, 255, 0}, 40));
    EXPECT_GT(yellow, 40) << "edges are drawn";
    EXPECT_TRUE(IsColour(At(lines, 40, 24), kBlue)) << "the inside of a triangle stays empty";
}

TEST_F(Scene, FastAndSafeAgreeWhereDepthsAgree) {
    ModelSlot& sphere = LitSphere();
    sphere.Map(MapKind::Diffusion) = CheckerSkin({255, 255, 255}, {128, 128, 128}, 32, 32, 8);
    sphere.Map(MapKind::Glow) = SolidSkin({20, 20, 20});
    auto fast = Render();
    doc_.settings.multiPassMode = 1;
    auto safe = Render();
    int differing = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) differing += !IsColour(At(fast, x, y), At(safe, x, y), 3);
    EXPECT_LT(differing, kSize * kSize / 50) << "pixels that differ between Fast and Safe";
}

TEST_F(Scene, EnvironmentMappingChangesOnlyTheDiffusionAndSpecularityPasses) {
    ModelSlot& sphere = LitSphere();
    sphere.Map(MapKind::Glow) = CheckerSkin({0, 0, 0}, {0, 60, 0});
    auto plain = Render();
    sphere.environmentMapped = true;
    EXPECT_EQ(Render(), plain) << "without diffusion or specularity maps nothing changes";
    sphere.Map(MapKind::Diffusion) = CheckerSkin({255, 255, 255}, {60, 60, 60}, 32, 32, 2);
    auto sphereMapped = Render();
    sphere.environmentMapped = false;
    EXPECT_NE(Render(), sphereMapped) << "the diffusion pass takes sphere-map coordinates";
}

TEST_F(Scene, ImmediateAndArrayPathsGiveTheSamePixels) {
    ModelSlot& sphere = LitSphere();
    NewLight(sphere).position[0] = -150;
    sphere.Map(MapKind::Diffusion) = CheckerSkin({255, 255, 255}, {100, 100, 100}, 32, 32, 8);
    sphere.Map(MapKind::Specularity) = CheckerSkin({255, 255, 255}, {0, 0, 0}, 16, 16, 2);
    sphere.Map(MapKind::Glow) = CheckerSkin({0, 0, 0}, {0, 80, 0}, 32, 32, 16);
    for (int combination = 0; combination < 256; ++combination) {
        for (size_t m = 0; m < kMapKinds; ++m) sphere.mapOn[m] = (combination >> m) & 1;  // the maps it uses
        sphere.environmentMapped = (combination >> 4) & 1;
        doc_.settings.multiPassMode = (combination >> 5) & 1;
        view_.wireframe = (combination >> 6) & 1;
        // Whole frames, and playback's blend between them.
        view_.playback = (combination >> 7) & 1 ? Playback{true, 1 - combination % 2, 0.375} : Playback{};
        doc_.models.currentFrame = combination % 2;
        renderer_->SetSubmissionPath(SubmissionPath::Immediate);
        auto reference = Render();
        renderer_->SetSubmissionPath(SubmissionPath::VertexArrays);
        ASSERT_EQ(Render(), reference) << "combination " << combination;
    }
}

TEST_F(Scene, FitBringsAnyModelWhollyIntoViewAndFillsIt) {
    // A wide view, so both the height and the width have to be respected.
    constexpr int kWidth = 160, kHeight = 96;
    Resize(kWidth, kHeight);
    auto shifted = [](std::vector<Triangle> t, float dx, float dy, float dz) {
        for (Triangle& tri : t)
            for (auto& c : tri.corners) c = {c[0] + dx, c[1] + dy, c[2] + dz};
        return t;
    };
    std::vector<std::pair<std::string, std::shared_ptr<Md2Model>>> cases;
    cases.emplace_back("huge and far off", ModelFromTriangles({shifted(Sphere(3000), 9000, -4000, 2500)}));
    cases.emplace_back("tiny", ModelFromTriangles({shifted(Sphere(0.05f), 0.4f, 0.3f, 0)}));
    cases.emplace_back("tall and thin", ModelFromTriangles({shifted(Square(0, 0, 1), 0, 0, 0)}));
    if (!CorpusDir().empty())
        for (const char* name : {"dolphin", "faerie", "flag", "horse", "sydney"})
            cases.emplace_back(name, LoadMd2Model((CorpusDir() / "md2" / (std::string(name) + ".md2")).string()).Take());
    for (auto& [name, model] : cases) {
        ASSERT_TRUE(model) << name;
        doc_.models.models.clear();
        Add(std::move(model));
        view_.camera = Camera{};
        view_.camera.rotation = Quat{0.3f, 0.2f, 0, 0.932738f};  // any turn is undone
        ASSERT_TRUE(FitView(view_.camera, doc_.models, kWidth, kHeight)) << name;
        const std::vector<uint8_t> picture = Render();
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
