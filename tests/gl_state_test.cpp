// GL state outside the passes: start state and projections, texture filters and uploads, texture
// bookkeeping, light setup, and what the submission routines hand to GL (read back through feedback).

#include <GL/gl.h>

#include <array>

#include "lights/light_record.h"
#include "render/gl_view.h"
#include "render/lighting.h"
#include "render/skin_texture.h"
#include "render/submission.h"
#include "tests/render_support.h"
#include "tests/test_support.h"
#include "tools/writers/picture_writers.h"

namespace meshara::testing {
namespace {

using GlState = RenderTest;

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
    // The offscreen picture has the window's 8 bits a channel (so passes
    // blend alike) and a 32-bit depth buffer where one is offered.
    const OffscreenContext::Bits bits = context_->ConfigBits();
    EXPECT_EQ((std::array{bits.red, bits.green, bits.blue, GetInt(GL_RED_BITS), GetInt(GL_BLUE_BITS)}),
              (std::array{8, 8, 8, 8, 8}));
    EXPECT_TRUE(bits.depth == 32 || bits.depth == 24) << bits.depth;
    EXPECT_EQ(GetInt(GL_DEPTH_BITS), bits.depth);
}

TEST_F(GlState, EachFilterModeSetsItsParameters) {
    auto skin = SolidSkin({1, 2, 3});
    BindSkinTexture(skin->texture);
    // An unknown mode (7) leaves the last one, Tri-MIP, in place.
    for (auto [mode, min, mag] : {std::array{0, GL_NEAREST, GL_NEAREST}, {1, GL_LINEAR, GL_LINEAR},
                                  {2, GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR}, {3, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR},
                                  {4, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR}, {7, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR}}) {
        SetTextureFilter(mode);
        EXPECT_TRUE(TexParam(GL_TEXTURE_MIN_FILTER) == min && TexParam(GL_TEXTURE_MAG_FILTER) == mag) << mode;
    }
}

TEST_F(GlState, OddWidthSkinUploadsWithoutSkew) {
    // Vertical stripes (red, ten pixels each; green counts x): any skew shows as rows that differ.
    SkinImage skin;
    skin.width = 250;
    skin.height = 16;
    for (int i = 0; i < skin.width * skin.height; ++i)
        skin.pixels.insert(skin.pixels.end(), {uint8_t((i % 250 / 10) % 2 ? 255 : 0), uint8_t(i % 250), 0});
    MakeSkinTexture(skin);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    ASSERT_EQ(width, 256) << "scaled to a power of two by GLU";
    std::vector<uint8_t> texels(256 * 16 * 3);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    for (size_t y = 1, row = 256 * 3; y < 16; ++y)
        ASSERT_TRUE(std::equal(texels.begin(), texels.begin() + row, texels.begin() + y * row)) << "row " << y;
    EXPECT_TRUE(texels[0] < 10 && texels[3 * 15] > 245) << "the second stripe is where it belongs";
}

TEST_F(GlState, TextureNamesAreCountedOverLoadReplaceRefuseClearAndRelease) {
    const int before = LiveTextureCount();
    TempDir dir;
    const auto path =
        dir.Write("skin.pcx", fixtures::WritePcx({4, 4, std::vector<uint8_t>(16, 1), {{0, 0, 0}, {9, 9, 9}}})).string();
    auto load = [&] { auto r = LoadSkinImage(path); return r ? r.Take() : nullptr; };
    auto model = ModelFromTriangles({Square(0, 0, 5)});
    model->textureMap = load();
    model->glowMap = load();
    ASSERT_TRUE(model->textureMap && model->glowMap);
    const GLuint firstName = model->textureMap->texture;
    EXPECT_EQ(LiveTextureCount(), before + 2);
    auto replacement = load();  // the new texture is made before the old one goes
    EXPECT_EQ(LiveTextureCount(), before + 3);
    model->textureMap = std::move(replacement);
    EXPECT_TRUE(LiveTextureCount() == before + 2 && !glIsTexture(firstName)) << "the old one went";
    EXPECT_FALSE(LoadSkinImage(dir.Write("bad.pcx", {1, 2, 3}).string()));
    EXPECT_EQ(LiveTextureCount(), before + 2) << "a refused picture makes no texture";
    model->glowMap.reset();
    EXPECT_EQ(LiveTextureCount(), before + 1);
    ReleaseModel(std::move(model));
    EXPECT_EQ(LiveTextureCount(), before);
}

TEST_F(GlState, ModelLightsDriveTheFirstEightGlLightsInEyeSpace) {
    auto model = ModelFromTriangles({Square(0, 0, 5)});
    LightRecord lights[10];
    for (int i = 0; i < 10; ++i) {
        lights[i].position[0] = static_cast<float>(i);
        AppendModelLight(*model, &lights[i]);
    }
    model->lights[2].enabled = 0;
    lights[5].on = 0;
    glMatrixMode(GL_MODELVIEW);
    glRotatef(90, 0, 1, 0);  // a turned model must not turn the lights
    float before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    SetupModelLights(*model);
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
    model->lights.clear();
    SetupModelLights(*model);
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(glIsEnabled(static_cast<GLenum>(GL_LIGHT0 + i))) << i;
}

// What GL receives through a submission path, as feedback.
std::vector<float> Feedback(SubmissionPath path, void (*draw)(const Md2Model&, FramePose), const Md2Model& model,
                            FramePose frame, GLenum type = GL_4D_COLOR_TEXTURE) {
    SetSubmissionPath(path);
    std::vector<float> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), type, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw(model, frame);
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
    auto model = ModelFromTriangles({Sphere(30, 6, 8), Sphere(25, 6, 8)});
    model->triangles[0].vertex[1] = model->triangles[0].vertex[0];  // a degenerate triangle is sent as is
    for (auto draw : {DrawPlain, DrawTextured, DrawLit, DrawLitTextured})
        for (FramePose pose : {FramePose(0), FramePose(1), FramePose(0, 1, 0.25f), FramePose(1, 0, 0.5f)}) {
            auto reference = Feedback(SubmissionPath::Immediate, draw, *model, pose);
            ASSERT_FALSE(reference.empty());
            EXPECT_EQ(Feedback(SubmissionPath::VertexArrays, draw, *model, pose), reference)
                << pose.frame << " toward " << pose.next;
        }
    Md2Model empty, raw;
    empty.frames.resize(1);
    raw.vertexCount = 3;
    raw.triangleCount = 1;
    raw.triangles = {Md2Triangle{{0, 1, 2}}};
    raw.frames = {Md2Frame{"", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, std::vector<Vec3d>(3, {0, 0, 1}), true},
                  Md2Frame{"", {{11, 12, 13}, {14, 15, 16}, {17, 18, 19}}, std::vector<Vec3d>(3, {0, 0, 1}), true}};
    for (auto path : {SubmissionPath::Immediate, SubmissionPath::VertexArrays}) {
        EXPECT_TRUE(Feedback(path, DrawLit, *model, 2).empty()) << "frame out of range";
        EXPECT_TRUE(Feedback(path, DrawLit, empty, 0).empty()) << "no triangles";
        auto sent = Feedback(path, DrawPlain, raw, 0, GL_3D);
        ASSERT_EQ(sent.size(), 11u);  // token, count, three (x, y, z)
        EXPECT_TRUE(sent[2] == 101 && sent[3] == 103 && sent[5] == 104 && sent[6] == 106)
            << "window x, y = model x, z + 100: " << sent[2] << "," << sent[3];
        sent = Feedback(path, DrawPlain, raw, FramePose(0, 1, 0.5f), GL_3D);
        ASSERT_EQ(sent.size(), 11u);
        EXPECT_TRUE(sent[2] == 106 && sent[3] == 108) << "half way: " << sent[2] << "," << sent[3];
        EXPECT_EQ(Feedback(path, DrawPlain, raw, FramePose(0, 2, 0.5f), GL_3D), Feedback(path, DrawPlain, raw, 0, GL_3D))
            << "a blend toward a frame the model lacks draws the frame itself";
    }
}

}  // namespace
}  // namespace meshara::testing
