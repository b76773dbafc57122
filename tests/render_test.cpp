// The renderer on llvmpipe through EGL: each pass, depth rules, wireframe, environment mapping, both
// submission paths, fitting, the GL start state, lights, textures and a long session of commands.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>

#include "render/gl_view.h"
#include "render/lighting.h"
#include "render/offscreen.h"
#include "render/overlays.h"
#include "render/renderer.h"
#include "render/submission.h"
#include "session/commands.h"
#include "session/scene_setup.h"
#include "tests/fake_ui_port.h"
#include "tests/test_support.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara::testing {
namespace {

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kBlue{0, 0, 255}, kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0};

std::string Str(Rgb c) { return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]); }
::testing::AssertionResult IsColour(Rgb got, Rgb want, int tolerance = 2) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(got[i] - want[i]) > tolerance)
            return ::testing::AssertionFailure() << "got " << Str(got) << ", want " << Str(want);
    return ::testing::AssertionSuccess();
}

// Test models are made in GL's own axes (x right, y up, z toward the viewer),
// so a test can say what faces the camera without the model's y/z exchange.
struct Triangle {
    std::array<std::array<float, 3>, 3> corners;  // counter-clockwise seen from the front
    std::array<std::array<float, 2>, 3> st{};     // texture coordinates, 0..1
};

// Written by the MD2 writer and read by the real loader, every corner its own
// vertex; all frames have the same triangle count.
std::shared_ptr<Md2Model> ModelOf(const std::vector<std::vector<Triangle>>& frames) {
    fixtures::Md2Source s;
    s.skinWidth = s.skinHeight = 1024;
    for (size_t t = 0; t < frames[0].size(); ++t) {
        const auto b = static_cast<uint16_t>(3 * t);  // record corners 0, 1, 2 come from file corners 0, 2, 1
        s.triangles.push_back({{b, uint16_t(b + 2), uint16_t(b + 1)}, {b, uint16_t(b + 2), uint16_t(b + 1)}});
        for (const auto& st : frames[0][t].st)
            s.texCoords.push_back({int16_t(std::lround(st[0] * 1024)), int16_t(std::lround(st[1] * 1024))});
    }
    for (const auto& triangles : frames) {
        std::vector<std::array<float, 3>> positions;  // the model's (x, z, y), y stored negated
        for (const Triangle& t : triangles)
            for (const auto& c : t.corners) positions.push_back({c[0], -c[2], c[1]});
        s.frames.push_back(fixtures::QuantiseFrame(positions, "f"));
    }
    auto r = ParseMd2Model(fixtures::WriteMd2(s), "test.md2");
    return r ? r.Take() : nullptr;
}

// A square in the plane z = 0, centred at (cx, cy), side 2 * half.
std::vector<Triangle> Square(float cx, float cy, float half, bool facingViewer = true) {
    const std::array<float, 3> a{cx - half, cy - half, 0}, b{cx + half, cy - half, 0}, c{cx + half, cy + half, 0},
        d{cx - half, cy + half, 0};
    std::vector<Triangle> out = {{{a, b, c}, {{{0, 0}, {1, 0}, {1, 1}}}}, {{a, c, d}, {{{0, 0}, {1, 1}, {0, 1}}}}};
    if (!facingViewer)
        for (Triangle& t : out) std::swap(t.corners[1], t.corners[2]), std::swap(t.st[1], t.st[2]);
    return out;
}

std::vector<Triangle> Sphere(float radius, std::array<double, 3> at = {}, int rings = 16, int segments = 24) {
    auto point = [&](int i, int j) {
        const double theta = M_PI * i / rings, phi = 2 * M_PI * j / segments;
        return std::array<float, 3>{float(at[0] + radius * std::sin(theta) * std::cos(phi)),
                                    float(at[1] + radius * std::cos(theta)), float(at[2] + radius * std::sin(theta) * std::sin(phi))};
    };
    auto st = [&](int i, int j) { return std::array<float, 2>{float(j) / segments, float(i) / rings}; };
    std::vector<Triangle> out;  // outward faces front
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            if (i + 1 < rings) out.push_back({{point(i, j), point(i + 1, j + 1), point(i + 1, j)}, {st(i, j), st(i + 1, j + 1), st(i + 1, j)}});
            if (i > 0) out.push_back({{point(i, j), point(i, j + 1), point(i + 1, j + 1)}, {st(i, j), st(i, j + 1), st(i + 1, j + 1)}});
        }
    return out;
}

std::shared_ptr<const SkinImage> CheckerSkin(Rgb a, Rgb b, int width = 32, int height = 32, int cell = 4) {
    auto skin = std::make_shared<SkinImage>(SkinImage{{}, width, height, {}, {}});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb& c = ((x / cell + y / cell) % 2) ? b : a;
            skin->pixels.insert(skin->pixels.end(), c.begin(), c.end());
        }
    return skin;
}
std::shared_ptr<const SkinImage> SolidSkin(Rgb colour) { return CheckerSkin(colour, colour, 8, 8, 1); }

// A fresh context and renderer per test with the view's start state, on a
// blue background. Without EGL the test skips, unless MESHARA_REQUIRE_GL is
// set (scripts/test sets it): then it fails.
class RenderTest : public ::testing::Test {
protected:
    static constexpr int kSize = 64;
    void SetUp() override {
        Resize(kSize, kSize);
        doc_.settings.backgroundColor[2] = 1.0f;
    }
    void Resize(int width, int height) {
        renderer_.reset();  // its textures go while its context is still there
        std::string why;
        if (!(context_ = OffscreenContext::Create(width, height, why))) {
            if (std::getenv("MESHARA_REQUIRE_GL")) FAIL() << "offscreen GL is required here but failed: " << why;
            GTEST_SKIP() << "no offscreen GL: " << why;
        }
        InitGLState(width, height);
        ApplyViewportAndProjection(width, height);
        renderer_ = std::make_unique<Renderer>();
    }
    // Draws the document as the viewer would.
    std::vector<uint8_t> Draw() {
        renderer_->Render(SceneOf(doc_, view_), nullptr);
        return context_->ReadPixels();
    }
    Rgb At(const std::vector<uint8_t>& picture, int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * context_->Width() + static_cast<size_t>(x)) * 3;
        return {picture[i], picture[i + 1], picture[i + 2]};
    }
    Rgb Centre() { return At(Draw(), 32, 32); }
    ModelSlot& Add(std::shared_ptr<const Md2Model> model) { return AddModel(doc_.models, std::move(model)); }
    LightRecord& NewLight(ModelSlot& slot, bool specular = true) {
        auto light = std::make_unique<LightRecord>();
        if (!specular) std::fill(light->specular, light->specular + 3, 0.0f);
        return AddLightTo(doc_, slot, std::move(light));
    }
    ModelSlot& LitSphere() {
        ModelSlot& sphere = Add(ModelOf({Sphere(20), Sphere(18)}));
        NewLight(sphere);
        sphere.Map(MapKind::Texture) = CheckerSkin({255, 128, 0}, {40, 90, 255});
        return sphere;
    }

    // Destroyed in reverse: the renderer frees its textures while its context is there.
    std::unique_ptr<OffscreenContext> context_;
    std::unique_ptr<Renderer> renderer_;
    Document doc_;
    ViewState view_;
};
using GlState = RenderTest;

TEST_F(RenderTest, BackgroundOnlyWithoutVisibleModelsAndUnlitModelsAreBlack) {
    std::vector<uint8_t> blue;
    for (int i = 0; i < kSize * kSize; ++i) blue.insert(blue.end(), kBlue.begin(), kBlue.end());
    ModelSlot& square = Add(ModelOf({Square(0, 0, 10)}));
    square.visible = false;
    EXPECT_EQ(Draw(), blue);
    square.visible = true;
    auto picture = Draw();
    EXPECT_TRUE(IsColour(At(picture, 32, 32), kBlack) && IsColour(At(picture, 2, 2), kBlue)) << "no lights";
}

TEST_F(RenderTest, NewLightComesFromTheUpperRightAndIsFixedToTheViewer) {
    NewLight(Add(ModelOf({Sphere(20)})));
    auto bright = [](Rgb c) { return c[0] + c[1] + c[2]; };
    auto picture = Draw();
    // Lit on the upper right, dark on the lower left; the centre faces the viewer and is lit too.
    const Rgb upperRight = At(picture, 43, 20), lowerLeft = At(picture, 20, 43), centre = At(picture, 32, 32);
    EXPECT_TRUE(bright(upperRight) > bright(centre) && bright(centre) > 300 && bright(lowerLeft) < 60);
    EXPECT_TRUE(IsColour(centre, Rgb{centre[0], centre[0], centre[0]}, 1)) << "white light on white: grey";
    view_.camera.rotation = Quat{0, 0, 1, 0};  // half a turn about the vertical does not turn the light
    auto turned = Draw();
    EXPECT_GT(bright(At(turned, 43, 20)), bright(At(turned, 20, 43)));
}

TEST_F(RenderTest, EachPassAddsItsShareAndMapsSwitchedOffAreUnused) {
    ModelSlot& square = Add(ModelOf({Square(0, 0, 10)}));
    square.Map(MapKind::Glow) = SolidSkin({0, 200, 40});
    EXPECT_TRUE(IsColour(Centre(), Rgb{0, 200, 40})) << "glow is unlit";
    square.MapOn(MapKind::Glow) = false;
    EXPECT_TRUE(IsColour(Centre(), kBlack));
    // A red texture under a white light shows red; switched off, the base is white.
    LightRecord& light = NewLight(square, false);
    square.Map(MapKind::Texture) = SolidSkin(kRed);
    const Rgb textured = Centre();
    EXPECT_TRUE(textured[0] > 100 && IsColour(textured, Rgb{textured[0], 0, 0}, 0));
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
    // Its specular colour is added on top, by the specularity pass alone.
    light.specular[1] = 1;
    const Rgb shiny = Centre();
    EXPECT_TRUE(IsColour(shiny, Rgb{147, shiny[1], 0}, 3) && shiny[1] > 20) << Str(shiny);
    square.Map(MapKind::Diffusion) = SolidSkin({128, 128, 128});  // scales the lit diffuse share only
    EXPECT_TRUE(IsColour(Centre(), Rgb{74, shiny[1], 0}, 3));
}

// A square in front of a larger sphere drawn after it: in either depth rule
// the sphere's later passes must not reach the square.
TEST_F(RenderTest, FrameOutOfAModelsRangeHidesThatModelOnlyAndLaterPassesStayBehind) {
    Add(ModelOf(std::vector(10, Square(0, 0, 6)))).Map(MapKind::Glow) = SolidSkin(kRed);
    Add(ModelOf(std::vector(4, Sphere(14, {0, 0, -20})))).Map(MapKind::Glow) = SolidSkin(kGreen);
    for (auto [frame, inner, outer] : {std::tuple{3, kRed, kGreen}, {4, kRed, kBlue}, {-1, kBlue, kBlue}})
        for (int mode : {0, 1}) {
            doc_.models.currentFrame = frame;
            doc_.settings.multiPassMode = mode;
            auto picture = Draw();
            EXPECT_TRUE(IsColour(At(picture, 32, 32), inner) && IsColour(At(picture, 32, 22), outer)) << frame << "," << mode;
        }
}

TEST_F(RenderTest, WireframeDrawsEdgesAndCullsNothing) {
    Add(ModelOf({Square(0, 0, 15, false)})).Map(MapKind::Glow) = SolidSkin({255, 255, 0});
    EXPECT_TRUE(IsColour(Centre(), kBlue)) << "a back face is culled";
    view_.wireframe = true;
    auto lines = Draw();
    int yellow = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) yellow += bool(IsColour(At(lines, x, y), Rgb{255, 255, 0}, 40));
    EXPECT_GT(yellow, 40) << "edges are drawn";
    EXPECT_TRUE(IsColour(At(lines, 40, 24), kBlue)) << "the inside of a triangle stays empty";
}

TEST_F(RenderTest, EnvironmentMappingChangesOnlyTheDiffusionAndSpecularityPasses) {
    ModelSlot& sphere = LitSphere();
    sphere.Map(MapKind::Glow) = CheckerSkin({0, 0, 0}, {0, 60, 0});
    auto plain = Draw();
    sphere.environmentMapped = true;
    EXPECT_EQ(Draw(), plain) << "without diffusion or specularity maps nothing changes";
    sphere.Map(MapKind::Diffusion) = CheckerSkin({255, 255, 255}, {60, 60, 60}, 32, 32, 2);
    auto sphereMapped = Draw();
    sphere.environmentMapped = false;
    EXPECT_NE(Draw(), sphereMapped) << "the diffusion pass takes sphere-map coordinates";
}

// Every combination of maps, environment mapping, depth rule, wireframe and
// playback: immediate mode and arrays give the same pixels, and Safe agrees
// with Fast wherever the depths do.
TEST_F(RenderTest, BothPathsGiveTheSamePixelsAndFastAgreesWithSafe) {
    ModelSlot& sphere = LitSphere();
    NewLight(sphere).position[0] = -150;
    sphere.Map(MapKind::Diffusion) = CheckerSkin({255, 255, 255}, {100, 100, 100}, 32, 32, 8);
    sphere.Map(MapKind::Specularity) = CheckerSkin({255, 255, 255}, {0, 0, 0}, 16, 16, 2);
    sphere.Map(MapKind::Glow) = CheckerSkin({0, 0, 0}, {0, 80, 0}, 32, 32, 16);
    std::vector<std::vector<uint8_t>> pictures;
    for (int combination = 0; combination < 256; ++combination) {
        for (size_t m = 0; m < kMapKinds; ++m) sphere.mapOn[m] = (combination >> m) & 1;
        sphere.environmentMapped = (combination >> 4) & 1;
        doc_.settings.multiPassMode = (combination >> 5) & 1;
        view_.wireframe = (combination >> 6) & 1;
        view_.playback = (combination >> 7) & 1 ? Playback{true, 1 - combination % 2, 0.375} : Playback{};
        doc_.models.currentFrame = combination % 2;
        renderer_->SetSubmissionPath(SubmissionPath::Immediate);
        pictures.push_back(Draw());
        renderer_->SetSubmissionPath(SubmissionPath::VertexArrays);
        ASSERT_EQ(Draw(), pictures.back()) << "combination " << combination;
        if ((combination & 0x60) != 0x20) continue;  // Safe and filled: compare with Fast
        int differing = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) differing += !IsColour(At(pictures.back(), x, y), At(pictures[combination - 32], x, y), 3);
        EXPECT_LT(differing, kSize * kSize / 50) << "pixels that differ between Fast and Safe, combination " << combination;
    }
}

TEST_F(RenderTest, FitBringsAnyModelWhollyIntoViewAndFillsIt) {
    constexpr int kWidth = 160, kHeight = 96;  // wide, so both the height and the width have to be respected
    Resize(kWidth, kHeight);
    std::vector<std::pair<std::string, std::shared_ptr<Md2Model>>> cases = {
        {"huge and far off", ModelOf({Sphere(3000, {9000, -4000, 2500})})},
        {"tiny", ModelOf({Sphere(0.05f, {0.4, 0.3, 0})})}, {"tall and thin", ModelOf({Square(0, 0, 1)})}};
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
        const std::vector<uint8_t> picture = Draw();
        int left = kWidth, right = -1, top = kHeight, bottom = -1;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (At(picture, x, y) != kBlue)
                    left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        EXPECT_TRUE(left > 0 && top > 0 && right < kWidth - 1 && bottom < kHeight - 1)
            << name << ": touches an edge: " << left << "," << top << " - " << right << "," << bottom;
        EXPECT_GE(std::max(right - left, bottom - top), kHeight / 3) << name << ": too small";
    }
}

GLint GetInt(GLenum what, int index = 0) { GLint v[4] = {}; glGetIntegerv(what, v); return v[index]; }
float ProjectionZ() { float m[16]; glGetFloatv(GL_PROJECTION_MATRIX, m); return m[10]; }  // -(f + n) / (f - n)
GLint TexParam(GLenum what) { GLint v = 0; glGetTexParameteriv(GL_TEXTURE_2D, what, &v); return v; }

TEST_F(GlState, FirstProjectionEndsAtFourAndResizesUseOneThousand) {
    glPopMatrix();          // undo the fixture's start state
    InitGLState(kSize, 0);  // a zero height gives aspect 1, not a division by zero
    EXPECT_NEAR(ProjectionZ(), -5.0f / 3.0f, 1e-5);
    EXPECT_EQ(GetInt(GL_MODELVIEW_STACK_DEPTH), 2) << "the camera matrix is saved one level down";
    EXPECT_FALSE(ApplyViewportAndProjection(kSize, 0));
    EXPECT_NEAR(ProjectionZ(), -5.0f / 3.0f, 1e-5) << "a height below 1 changes nothing";
    EXPECT_TRUE(ApplyViewportAndProjection(40, 20));
    EXPECT_NEAR(ProjectionZ(), -1001.0f / 999.0f, 1e-5);
    EXPECT_TRUE(GetInt(GL_VIEWPORT, 2) == 40 && GetInt(GL_VIEWPORT, 3) == 20);
    for (int i = 0; i < 2; ++i) ApplyViewTransform(Camera{});
    EXPECT_EQ(GetInt(GL_MODELVIEW_STACK_DEPTH), 2) << "every frame pops and re-pushes the camera";
    // The window's 8 bits a channel, so passes blend alike, and a 32-bit depth buffer where one is offered.
    const OffscreenContext::Bits bits = context_->ConfigBits();
    EXPECT_EQ((std::array{bits.red, bits.green, bits.blue, GetInt(GL_RED_BITS), GetInt(GL_BLUE_BITS)}),
              (std::array{8, 8, 8, 8, 8}));
    EXPECT_TRUE((bits.depth == 32 || bits.depth == 24) && GetInt(GL_DEPTH_BITS) == bits.depth) << bits.depth;
}

TEST_F(GlState, OddWidthSkinUploadsWithoutSkewAndEachFilterModeSetsItsParameters) {
    // Vertical stripes (red, ten pixels each; green counts x): any skew shows as rows that differ.
    auto skin = std::make_shared<SkinImage>();
    skin->width = 250;
    skin->height = 16;
    for (int i = 0; i < 250 * 16; ++i) skin->pixels.insert(skin->pixels.end(), {uint8_t(i % 250 / 10 % 2 * 255), uint8_t(i % 250), 0});
    TextureCache textures;
    textures.TextureFor(skin);  // made, uploaded and left bound
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    ASSERT_EQ(width, 256) << "scaled to a power of two";
    std::vector<uint8_t> texels(256 * 16 * 3);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    for (size_t y = 1, row = 256 * 3; y < 16; ++y)
        ASSERT_TRUE(std::equal(texels.begin(), texels.begin() + row, texels.begin() + y * row)) << "row " << y;
    EXPECT_TRUE(texels[0] < 10 && texels[3 * 15] > 245) << "the second stripe is where it belongs";
    // An unknown mode (7) leaves the last one, Tri-MIP, in place.
    for (auto [mode, min, mag] : {std::array{0, GL_NEAREST, GL_NEAREST}, {1, GL_LINEAR, GL_LINEAR},
                                  {2, GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR}, {3, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR},
                                  {4, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR}, {7, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR}}) {
        SetTextureFilter(mode);
        EXPECT_TRUE(TexParam(GL_TEXTURE_MIN_FILTER) == min && TexParam(GL_TEXTURE_MAG_FILTER) == mag) << mode;
    }
}

TEST_F(GlState, TexturesAreMadeWhenDrawnAndGoWithTheirPicturesOrTheRenderer) {
    auto bound = [] { GLint t = 0; glGetIntegerv(GL_TEXTURE_BINDING_2D, &t); return static_cast<GLuint>(t); };
    ModelSlot& slot = Add(ModelOf({Square(0, 0, 5)}));
    slot.Map(MapKind::Texture) = SolidSkin({9, 9, 9});
    slot.Map(MapKind::Glow) = SolidSkin({1, 1, 1});
    slot.MapOn(MapKind::Glow) = false;  // held, not drawn: no texture yet
    Draw();
    const GLuint first = bound();
    EXPECT_TRUE(renderer_->LiveTextureCount() == 1 && glIsTexture(first));
    slot.MapOn(MapKind::Glow) = true;
    slot.Map(MapKind::Texture) = SolidSkin({8, 8, 8});  // replaced: the old picture goes
    Draw();
    const GLuint last = bound();
    EXPECT_TRUE(renderer_->LiveTextureCount() == 2 && !glIsTexture(first) && glIsTexture(last));
    renderer_.reset();
    EXPECT_FALSE(glIsTexture(last)) << "what is still held goes with the renderer";
}

TEST_F(GlState, TheFirstEightEnabledLightsThatAreOnDriveGlLightsInEyeSpace) {
    ModelSlot& slot = Add(ModelOf({Square(0, 0, 5)}));
    for (int i = 0; i < 10; ++i) NewLight(slot).position[0] = static_cast<float>(i);
    slot.lights[2].enabled = false;
    slot.lights[5].light->on = false;
    glRotatef(90, 0, 1, 0);  // a turned model must not turn the lights
    float before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    SetupModelLights(SceneOf(doc_, view_).models.at(0).lights);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_TRUE(std::equal(before, before + 16, after)) << "the modelview matrix is left as it was";
    for (int i = 0; i < 8; ++i) {
        const GLenum light = static_cast<GLenum>(GL_LIGHT0 + i);
        float position[4], cutoff = 0;
        glGetLightfv(light, GL_POSITION, position);
        glGetLightfv(light, GL_SPOT_CUTOFF, &cutoff);
        const bool lit = i != 2 && i != 5;  // entry i drives GL_LIGHTi
        EXPECT_EQ(glIsEnabled(light), lit) << "light " << i;
        EXPECT_TRUE(!lit || (position[0] == i && position[1] == 150 && cutoff == 180)) << "entry " << i;
    }
    SetupModelLights({});
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(glIsEnabled(static_cast<GLenum>(GL_LIGHT0 + i))) << i;
}

// What GL receives through a submission path, as feedback.
using DrawCall = void (Submitter::*)(FramePose);
std::vector<float> Feedback(SubmissionPath path, DrawCall draw, const Md2Model& model, FramePose frame,
                            GLenum type = GL_4D_COLOR_TEXTURE) {
    ModelArrays arrays(model);
    Submitter submitter(model, arrays, path);
    std::vector<float> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), type, buffer.data());
    glRenderMode(GL_FEEDBACK);
    (submitter.*draw)(frame);
    buffer.resize(static_cast<size_t>(std::max(glRenderMode(GL_RENDER), 0)));
    return buffer;
}

TEST_F(GlState, BothPathsHandGlTheSameCornersInXZYOrder) {
    // Window = model coordinates + 100; lighting on so that normals show in the colours.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-100, 100, -100, 100, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, 200, 200);
    glDisable(GL_CULL_FACE);
    glEnable(GL_LIGHT0);  // lighting is on from the start state
    auto model = ModelOf({Sphere(30, {}, 6, 8), Sphere(25, {}, 6, 8)});
    model->triangles[0].vertex[1] = model->triangles[0].vertex[0];  // a degenerate triangle is sent as is
    for (DrawCall draw : {&Submitter::Plain, &Submitter::Textured, &Submitter::Lit, &Submitter::LitTextured})
        for (FramePose pose : {FramePose(0), FramePose(1), FramePose(0, 1, 0.25f), FramePose(1, 0, 0.5f)}) {
            auto reference = Feedback(SubmissionPath::Immediate, draw, *model, pose);
            ASSERT_FALSE(reference.empty());
            EXPECT_EQ(Feedback(SubmissionPath::VertexArrays, draw, *model, pose), reference)
                << pose.frame << " toward " << pose.next;
        }
    // Three stored vertices a frame, each step a whole unit: frame 0 has
    // positions (1, 2, 3), (4, 5, 6), (7, 8, 9) and frame 1 ten more each.
    Md2Model empty, raw;
    empty.frames.resize(1);
    raw.vertexCount = 3;
    raw.triangles = {Md2Triangle{{0, 1, 2}}};
    for (uint8_t base : {1, 11}) {
        Md2Frame& f = raw.frames.emplace_back();
        for (uint8_t v = 0; v < 3; ++v)
            f.vertices.push_back({uint8_t(base + 3 * v), uint8_t(254 - base - 3 * v), uint8_t(base + 3 * v + 2), 0});
        f.translate[1] = -255;  // y is stored negated: -(254 - base - 3v - 255) is base + 3v + 1
    }
    for (auto path : {SubmissionPath::Immediate, SubmissionPath::VertexArrays}) {
        EXPECT_TRUE(Feedback(path, &Submitter::Lit, *model, 2).empty()) << "frame out of range";
        EXPECT_TRUE(Feedback(path, &Submitter::Lit, empty, 0).empty()) << "no triangles";
        auto sent = Feedback(path, &Submitter::Plain, raw, 0, GL_3D);
        ASSERT_EQ(sent.size(), 11u);  // token, count, three (x, y, z)
        EXPECT_TRUE(sent[2] == 101 && sent[3] == 103 && sent[5] == 104 && sent[6] == 106)
            << "window x, y = model x, z + 100: " << sent[2] << "," << sent[3];
        sent = Feedback(path, &Submitter::Plain, raw, FramePose(0, 1, 0.5f), GL_3D);
        ASSERT_EQ(sent.size(), 11u);
        EXPECT_TRUE(sent[2] == 106 && sent[3] == 108) << "half way: " << sent[2] << "," << sent[3];
        EXPECT_EQ(Feedback(path, &Submitter::Plain, raw, FramePose(0, 2, 0.5f), GL_3D),
                  Feedback(path, &Submitter::Plain, raw, 0, GL_3D))
            << "a blend toward a frame the model lacks draws the frame itself";
    }
}

// Where a point in GL's axes lands in the last picture drawn (top row first),
// through the matrices GL drew it with.
std::array<int, 2> Projected(const std::array<double, 3>& p) {
    double modelview[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double eye[4], clip[4];
    for (int r = 0; r < 4; ++r)
        eye[r] = modelview[r] * p[0] + modelview[4 + r] * p[1] + modelview[8 + r] * p[2] + modelview[12 + r];
    for (int r = 0; r < 4; ++r)
        clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] + projection[12 + r] * eye[3];
    const double x = viewport[0] + (clip[0] / clip[3] + 1) / 2 * viewport[2];
    const double y = viewport[1] + (clip[1] / clip[3] + 1) / 2 * viewport[3];
    return {static_cast<int>(std::floor(x)), viewport[3] - 1 - static_cast<int>(std::floor(y))};
}

// Each Show item on its own, on red unlit models seen from above and to the
// side: its colour appears where the item's geometry projects, and with the
// item off the same places show the model or the background.
TEST_F(RenderTest, ShowItemsDrawWhereTheirGeometryProjectsAndNothingWhenOff) {
    constexpr int kPicture = 160;
    Resize(kPicture, kPicture);
    const auto isLine = [](Rgb c, Rgb want) { return bool(IsColour(c, want, 40)); };
    const auto isGrid = [](Rgb c, Rgb) { return c[0] > 60 && std::abs(c[0] - c[1]) < 8; };  // grey, faded over blue
    const Rgb cyan{0, 255, 255}, yellow{255, 255, 0}, orange{255, 128, 0};
    // Normals from a flat square: along +z, 5% of its side long. Boxes and
    // floor from a sphere of radius 10 in an animation whose second frame
    // has radius 14: the frame's box, the animation's box, the floor at -14.
    const double length = NormalLength(Bounds{{-10, -10, 0}, {10, 10, 0}, false});
    struct Case {
        bool ShowItems::*item;
        std::vector<std::vector<Triangle>> frames;
        std::vector<std::array<double, 3>> at;  // where the colour shows
        Rgb colour;
        bool (*matches)(Rgb, Rgb);
    };
    const Case cases[] = {
        {&ShowItems::normals, {Square(0, 0, 10)}, {{10, 10, 0.8 * length}, {-10, -10, 0.8 * length}}, cyan, +isLine},
        {&ShowItems::box, {Sphere(10), Sphere(14)}, {{10, 10, 10}, {-10, 10, -10}, {10, -10, 10}}, yellow, +isLine},
        {&ShowItems::box, {Sphere(10), Sphere(14)}, {{14, 14, 14}, {-14, 14, -14}, {14, -14, 14}}, orange, +isLine},
        {&ShowItems::grid, {Sphere(10), Sphere(14)}, {{0, -14, 16}, {-8, -14, 8}, {32, -14, 0}}, {}, +isGrid},
    };
    Quat tilt, turn;
    Vec3 xAxis{1, 0, 0}, yAxis{0, 1, 0};
    AxisAngleToQuat(xAxis, -0.5f, tilt);
    AxisAngleToQuat(yAxis, 0.6f, turn);
    for (const Case& c : cases) {
        doc_.models.models.clear();
        Add(ModelOf(c.frames)).Map(MapKind::Glow) = SolidSkin(kRed);
        view_.camera = Camera{};
        ASSERT_TRUE(FitView(view_.camera, doc_.models, kPicture, kPicture, FitSpan::Animation));
        ComposeQuats(tilt, turn, view_.camera.rotation);
        view_.camera.zoom /= 1.6f;  // room for the floor around the model
        const std::vector<uint8_t> off = Draw();
        view_.show.*(c.item) = true;
        const std::vector<uint8_t> on = Draw();
        view_.show = {};
        for (const auto& point : c.at) {
            const auto [x, y] = Projected(point);
            ASSERT_TRUE(x >= 1 && y >= 1 && x < kPicture - 1 && y < kPicture - 1) << x << "," << y;
            // A line may fall a pixel to either side of the exact point.
            bool shown = false, shownWhenOff = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    shown |= c.matches(At(on, x + dx, y + dy), c.colour);
                    shownWhenOff |= c.matches(At(off, x + dx, y + dy), c.colour);
                }
            EXPECT_TRUE(shown && !shownWhenOff) << point[0] << "," << point[1] << "," << point[2] << " at " << x << ","
                                                << y << ": " << Str(At(on, x, y));
        }
    }
}

// A long session through the real commands: models opened and removed, maps
// loaded, replaced, refused and cleared, lights added and deleted, a hundred
// times over. Nothing may leak (the sanitizer build checks memory) and no
// texture may be left behind.
TEST_F(RenderTest, HundredRoundsOfCommandsLeaveNoTextureAndNoModel) {
    TempDir dir;
    const std::string model = dir.Write("quad.md2", fixtures::WriteMd2(SmallQuad())).string();
    fixtures::IndexedPicture picture{6, 4, std::vector<uint8_t>(24, 1), {{0, 0, 0}, {200, 10, 10}}};
    const std::string pcx = dir.Write("skin.pcx", fixtures::WritePcx(picture)).string();
    const std::string bmp = dir.Write("skin.bmp", fixtures::WriteBmp8(picture)).string();
    const std::string bad = dir.Write("bad.pcx", {0x0A, 0x05, 1}).string();
    FakeUiPort ui;
    Commands commands(doc_, view_, ui);
    for (int round = 0; round < 100; ++round) {
        for (int i = 0; i < 2; ++i) ui.AnswerFile(model), commands.OpenModel();
        for (MapKind row : {MapKind::Texture, MapKind::Diffusion, MapKind::Specularity, MapKind::Glow})
            for (const std::string& file : {pcx, round % 2 ? bmp : pcx, bad}) {  // loaded, replaced, refused (kept)
                ui.AnswerFile(file);
                commands.LoadMap(row);
                Draw();
            }
        commands.ClearMap(MapKind::Glow);
        for (auto step : {&Commands::NewLight, &Commands::NewLight, &Commands::AddModelLight, &Commands::AddModelLight})
            (commands.*step)();
        Draw();
        commands.DeleteLight();
        // The second model is current and holds three maps (glow was cleared).
        ASSERT_EQ(renderer_->LiveTextureCount(), 3) << "round " << round;
        for (auto step : {&Commands::RemoveModel, &Commands::RemoveModel, &Commands::DeleteLight}) (commands.*step)();
        Draw();
        ASSERT_EQ(renderer_->LiveTextureCount() + doc_.models.Count() + doc_.lights.Count(), 0) << "round " << round;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace meshara::testing
