// GL state outside the passes: start state and projections, texture
// filters and uploads, texture bookkeeping, light setup, and what the
// submission routines hand to GL (read back through feedback mode).

#include <GL/gl.h>

#include <cmath>

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

float ProjectionZ() {
    float m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    return m[10];  // -(far + near) / (far - near)
}

TEST_F(GlState, FirstProjectionEndsAtFourAndResizesUseOneThousand) {
    context_.reset();
    std::string why;
    context_ = OffscreenContext::Create(kSize, kSize, why);
    ASSERT_TRUE(context_) << why;
    InitGLState(kSize, 0);  // a zero height gives aspect 1, not a division by zero
    EXPECT_NEAR(ProjectionZ(), -5.0f / 3.0f, 1e-5);
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 2) << "the camera matrix is saved one level down";

    EXPECT_FALSE(ApplyViewportAndProjection(kSize, 0));
    EXPECT_NEAR(ProjectionZ(), -5.0f / 3.0f, 1e-5) << "a height below 1 changes nothing";
    EXPECT_TRUE(ApplyViewportAndProjection(40, 20));
    EXPECT_NEAR(ProjectionZ(), -1001.0f / 999.0f, 1e-5);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 40);
    EXPECT_EQ(viewport[3], 20);

    ApplyViewTransform(Camera{});
    ApplyViewTransform(Camera{});
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 2) << "every frame pops and re-pushes the camera";
}

TEST_F(GlState, EachFilterModeSetsItsParameters) {
    auto skin = SolidSkin({1, 2, 3});
    BindSkinTexture(skin->texture);
    const struct {
        int32_t mode;
        GLint min, mag;
    } modes[] = {{0, GL_NEAREST, GL_NEAREST},
                 {1, GL_LINEAR, GL_LINEAR},
                 {2, GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR},
                 {3, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR},
                 {4, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR}};
    for (const auto& m : modes) {
        SetTextureFilter(m.mode);
        GLint min = 0, mag = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
        EXPECT_EQ(min, m.min) << "mode " << m.mode;
        EXPECT_EQ(mag, m.mag) << "mode " << m.mode;
    }
    SetTextureFilter(7);  // unknown: leaves Tri-MIP in place
    GLint min = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
    EXPECT_EQ(min, GL_LINEAR_MIPMAP_LINEAR);
}

TEST_F(GlState, OddWidthSkinUploadsWithoutSkew) {
    // Vertical stripes: every row is the same, so any skew shows as rows that differ.
    auto skin = std::make_unique<SkinImage>();
    skin->width = 250;
    skin->height = 16;
    for (int y = 0; y < skin->height; ++y)
        for (int x = 0; x < skin->width; ++x) {
            const uint8_t v = (x / 10) % 2 ? 255 : 0;
            skin->pixels.insert(skin->pixels.end(), {v, static_cast<uint8_t>(x), 0});
        }
    MakeSkinTexture(*skin);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    ASSERT_EQ(width, 256) << "scaled to a power of two by GLU";
    ASSERT_EQ(height, 16);
    std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    const size_t row = static_cast<size_t>(width) * 3;
    for (int y = 1; y < height; ++y)
        ASSERT_TRUE(std::equal(texels.begin(), texels.begin() + row, texels.begin() + y * row)) << "row " << y;
    EXPECT_LT(texels[0], 10);
    EXPECT_GT(texels[3 * 15], 245) << "the second stripe is where it belongs";
}

TEST_F(GlState, TextureNamesAreNotLeaked) {
    const int before = LiveTextureCount();
    TempDir dir;
    fixtures::IndexedPicture p{4, 4, std::vector<uint8_t>(16, 1), {{0, 0, 0}, {9, 9, 9}}};
    const auto path = dir.Write("skin.pcx", fixtures::WritePcx(p)).string();
    auto model = ModelFromTriangles({Square(0, 0, 5)});
    auto first = LoadSkinImage(path);
    ASSERT_TRUE(first);
    const GLuint firstName = first.Value()->texture;
    model->textureMap = first.Take();
    model->glowMap = LoadSkinImage(path).Take();
    EXPECT_EQ(LiveTextureCount(), before + 2);

    // Replace: the new texture is made before the old one goes.
    auto replacement = LoadSkinImage(path);
    ASSERT_TRUE(replacement);
    EXPECT_EQ(LiveTextureCount(), before + 3);
    model->textureMap = replacement.Take();
    EXPECT_EQ(LiveTextureCount(), before + 2);
    EXPECT_FALSE(glIsTexture(firstName));

    // A refused picture makes no texture.
    EXPECT_FALSE(LoadSkinImage(dir.Write("bad.pcx", {1, 2, 3}).string()));
    EXPECT_EQ(LiveTextureCount(), before + 2);

    model->glowMap.reset();  // clear
    EXPECT_EQ(LiveTextureCount(), before + 1);
    ReleaseModel(std::move(model));
    EXPECT_EQ(LiveTextureCount(), before);
}

TEST_F(GlState, ModelLightsDriveTheFirstEightGlLightsInEyeSpace) {
    auto model = ModelFromTriangles({Square(0, 0, 5)});
    std::vector<std::unique_ptr<LightRecord>> lights;
    for (int i = 0; i < 10; ++i) {
        lights.push_back(std::make_unique<LightRecord>());
        lights.back()->position[0] = static_cast<float>(i);
        AppendModelLight(*model, lights.back().get());
    }
    model->lights[2].enabled = 0;
    lights[5]->on = 0;
    glMatrixMode(GL_MODELVIEW);
    glRotatef(90, 0, 1, 0);  // a turned model must not turn the lights
    float before[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);

    SetupModelLights(*model);

    for (int i = 0; i < 8; ++i) {
        const GLenum light = static_cast<GLenum>(GL_LIGHT0 + i);
        const bool lit = i != 2 && i != 5;
        EXPECT_EQ(glIsEnabled(light), lit ? GL_TRUE : GL_FALSE) << "light " << i;
        if (!lit) continue;
        float position[4];
        glGetLightfv(light, GL_POSITION, position);
        EXPECT_EQ(position[0], static_cast<float>(i)) << "entry " << i << " drives GL_LIGHT" << i;
        EXPECT_EQ(position[1], 150.0f);
        float cutoff = 0;
        glGetLightfv(light, GL_SPOT_CUTOFF, &cutoff);
        EXPECT_EQ(cutoff, 180.0f);
    }
    float after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_TRUE(std::equal(before, before + 16, after)) << "the modelview matrix is left as it was";

    model->lights.clear();
    SetupModelLights(*model);
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(glIsEnabled(static_cast<GLenum>(GL_LIGHT0 + i))) << i;
}

// What GL receives, as feedback: window position, colour and texture
// coordinate of every vertex, with identity matrices and lighting on so
// that normals show in the colours.
std::vector<float> Feedback(void (*draw)(const Md2Model&, int32_t), const Md2Model& model, int32_t frame) {
    std::vector<float> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw(model, frame);
    buffer.resize(static_cast<size_t>(std::max(glRenderMode(GL_RENDER), 0)));
    return buffer;
}

TEST_F(GlState, BothPathsHandGlTheSameCornersInTheSameOrder) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-100, 100, -100, 100, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    auto model = ModelFromTriangles({Sphere(30, 6, 8), Sphere(25, 6, 8)});
    model->triangles[0].vertex[1] = model->triangles[0].vertex[0];  // a degenerate triangle is sent as is
    for (auto draw : {DrawPlain, DrawTextured, DrawLit, DrawLitTextured})
        for (int32_t frame : {0, 1}) {
            SetSubmissionPath(SubmissionPath::Immediate);
            auto reference = Feedback(draw, *model, frame);
            SetSubmissionPath(SubmissionPath::VertexArrays);
            auto arrays = Feedback(draw, *model, frame);
            ASSERT_FALSE(reference.empty());
            EXPECT_EQ(arrays, reference) << "frame " << frame;
        }
    // Out of range or without triangles: nothing is sent on either path.
    for (auto path : {SubmissionPath::Immediate, SubmissionPath::VertexArrays}) {
        SetSubmissionPath(path);
        EXPECT_TRUE(Feedback(DrawLit, *model, 2).empty());
        auto empty = std::make_unique<Md2Model>();
        empty->frames.resize(1);
        EXPECT_TRUE(Feedback(DrawLit, *empty, 0).empty());
    }
}

TEST_F(GlState, ModelAxesAreSentAsXZY) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-10, 10, -10, 10, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glViewport(0, 0, 20, 20);
    auto model = std::make_unique<Md2Model>();
    model->vertexCount = 3;
    model->triangleCount = 1;
    model->triangles.resize(1);
    model->triangles[0].vertex[1] = 1;
    model->triangles[0].vertex[2] = 2;
    model->frames.resize(1);
    model->frames[0].vertices = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    model->frames[0].normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    for (auto path : {SubmissionPath::Immediate, SubmissionPath::VertexArrays}) {
        SetSubmissionPath(path);
        std::vector<float> buffer(64);
        glFeedbackBuffer(64, GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        DrawPlain(*model, 0);
        ASSERT_EQ(glRenderMode(GL_RENDER), 11);  // token, count, three (x, y, z)
        // Window x = model x + 10, window y = model z + 10.
        EXPECT_FLOAT_EQ(buffer[2], 11);
        EXPECT_FLOAT_EQ(buffer[3], 13);
        EXPECT_FLOAT_EQ(buffer[5], 14);
        EXPECT_FLOAT_EQ(buffer[6], 16);
    }
}

}  // namespace
}  // namespace meshara::testing
