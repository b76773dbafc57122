// GL state outside the passes: start state and projections, texture filters and uploads, texture
// bookkeeping, light setup, and what the submission routines hand to GL (read back through feedback).

#include <GL/gl.h>

#include <array>

#include "render/gl_view.h"
#include "render/lighting.h"
#include "render/submission.h"
#include "session/scene_setup.h"
#include "tests/render_support.h"
#include "tests/test_support.h"

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
    TextureCache textures;
    BindSkinTexture(textures.TextureFor(SolidSkin({1, 2, 3})));
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
    auto skin = std::make_shared<SkinImage>();
    skin->width = 250;
    skin->height = 16;
    for (int i = 0; i < skin->width * skin->height; ++i)
        skin->pixels.insert(skin->pixels.end(), {uint8_t((i % 250 / 10) % 2 ? 255 : 0), uint8_t(i % 250), 0});
    TextureCache textures;
    textures.TextureFor(skin);  // made, uploaded and left bound
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    ASSERT_EQ(width, 256) << "scaled to a power of two by GLU";
    std::vector<uint8_t> texels(256 * 16 * 3);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    for (size_t y = 1, row = 256 * 3; y < 16; ++y)
        ASSERT_TRUE(std::equal(texels.begin(), texels.begin() + row, texels.begin() + y * row)) << "row " << y;
    EXPECT_TRUE(texels[0] < 10 && texels[3 * 15] > 245) << "the second stripe is where it belongs";
}

TEST_F(GlState, TexturesLiveWhileTheirPicturesAreHeldAndGoWithTheRenderer) {
    ModelSlot& slot = Add(ModelFromTriangles({Square(0, 0, 5)}));
    slot.Map(MapKind::Texture) = SolidSkin({9, 9, 9});
    slot.Map(MapKind::Glow) = SolidSkin({1, 1, 1});
    slot.MapOn(MapKind::Glow) = false;  // held, not drawn: no texture yet
    Render();
    EXPECT_EQ(renderer_->LiveTextureCount(), 1);
    GLint first = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &first);
    ASSERT_TRUE(glIsTexture(static_cast<GLuint>(first)));
    slot.MapOn(MapKind::Glow) = true;
    slot.Map(MapKind::Texture) = SolidSkin({8, 8, 8});  // replaced: the old picture goes
    Render();
    EXPECT_TRUE(renderer_->LiveTextureCount() == 2 && !glIsTexture(static_cast<GLuint>(first)));
    slot.Map(MapKind::Glow).reset();
    Render();
    EXPECT_EQ(renderer_->LiveTextureCount(), 1);
    GLint last = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &last);
    doc_.Clear();
    Render();
    EXPECT_EQ(renderer_->LiveTextureCount(), 0) << "a removed model's maps go at the next picture";
    // What is still held when the renderer goes is freed with it.
    Add(ModelFromTriangles({Square(0, 0, 5)})).Map(MapKind::Texture) = SolidSkin({7, 7, 7});
    Render();
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &last);
    ASSERT_TRUE(glIsTexture(static_cast<GLuint>(last)));
    renderer_.reset();
    EXPECT_FALSE(glIsTexture(static_cast<GLuint>(last)));
}

TEST_F(GlState, TheFirstEightEnabledLightsThatAreOnDriveGlLightsInEyeSpace) {
    ModelSlot& slot = Add(ModelFromTriangles({Square(0, 0, 5)}));
    for (int i = 0; i < 10; ++i) NewLight(slot).position[0] = static_cast<float>(i);
    slot.lights[2].enabled = false;
    slot.lights[5].light->on = false;
    glMatrixMode(GL_MODELVIEW);
    glRotatef(90, 0, 1, 0);  // a turned model must not turn the lights
    float before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    const Scene scene = SceneOf(doc_, view_);
    SetupModelLights(scene.models.at(0).lights);
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
using Draw = void (Submitter::*)(FramePose);
std::vector<float> Feedback(SubmissionPath path, Draw draw, const Md2Model& model, FramePose frame,
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
    auto model = ModelFromTriangles({Sphere(30, 6, 8), Sphere(25, 6, 8)});
    model->triangles[0].vertex[1] = model->triangles[0].vertex[0];  // a degenerate triangle is sent as is
    for (Draw draw : {&Submitter::Plain, &Submitter::Textured, &Submitter::Lit, &Submitter::LitTextured})
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

}  // namespace
}  // namespace meshara::testing
