#include "render/renderer.h"

#include <GL/gl.h>

#include "render/gl_view.h"
#include "render/lighting.h"
#include "render/overlays.h"

namespace meshara {

namespace {

constexpr GLfloat kWhite[4] = {1, 1, 1, 1};
constexpr GLfloat kBlack[4] = {0, 0, 0, 1};

// A map to draw with: its texture, or 0 for none.
using Texture = uint32_t;

// Later passes only test the depth the base pass wrote. Fast demands equal
// depth; Safe pulls filled polygons toward the viewer and accepts less-or-equal.
void BeginDepthRule(const RenderSettings& s) {
    if (s.multiPassMode == 1) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(-0.02f, -0.02f);
        glDepthFunc(GL_LEQUAL);
    } else {
        glDepthFunc(GL_EQUAL);
    }
}

void EndDepthRule(const RenderSettings& s) {
    if (s.multiPassMode == 1) glDisable(GL_POLYGON_OFFSET_FILL);
}

void BasePass(Submitter& model, FramePose frame, const RenderSettings& s, Texture texture) {
    if (texture != 0) {
        glDisable(GL_LIGHTING);
        glDisable(GL_DITHER);
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        BindSkinTexture(texture);
        SetTextureFilter(s.textureFilter);
        glShadeModel(GL_FLAT);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        model.Textured(frame);
    } else {
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_LIGHTING);
        glDisable(GL_DITHER);
        glDisable(GL_BLEND);
        glShadeModel(GL_FLAT);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glColor3f(1, 1, 1);
        model.Plain(frame);
    }
}

struct LitPass {
    Texture map;
    const GLfloat* ambient;
    const GLfloat* diffuse;
    const GLfloat* specular;
    GLfloat shininess;
    GLenum blendSource;
    GLenum blendDestination;
};

void DrawLitPass(Submitter& model, FramePose frame, const RenderSettings& s, const LitPass& pass) {
    glEnable(GL_BLEND);
    glEnable(GL_LIGHTING);
    if (pass.map != 0) {
        glEnable(GL_TEXTURE_2D);
        glDisable(GL_DITHER);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        BindSkinTexture(pass.map);
        SetTextureFilter(s.textureFilter);
    } else {
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DITHER);
    }
    glShadeModel(GL_SMOOTH);
    BeginDepthRule(s);
    glDepthMask(GL_FALSE);
    glMaterialfv(GL_FRONT, GL_AMBIENT, pass.ambient);
    glMaterialfv(GL_FRONT, GL_EMISSION, kBlack);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, pass.diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, pass.specular);
    glMaterialf(GL_FRONT, GL_SHININESS, pass.shininess);
    glBlendFunc(pass.blendSource, pass.blendDestination);
    if (pass.map != 0)
        model.LitTextured(frame);
    else
        model.Lit(frame);
    EndDepthRule(s);
}

void GlowPass(Submitter& model, FramePose frame, const RenderSettings& s, Texture glow) {
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DITHER);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    BindSkinTexture(glow);
    SetTextureFilter(s.textureFilter);
    glShadeModel(GL_FLAT);
    BeginDepthRule(s);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_ONE, GL_ONE);
    model.Textured(frame);
    EndDepthRule(s);
}

void SetEnvironmentMapping(bool on) {
    if (on) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
    } else {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
    }
}

}  // namespace

void Renderer::DrawModel(const DrawnModel& drawn, FramePose frame, const Scene& scene) {
    const RenderSettings& s = scene.settings;
    Submitter model(*drawn.model, arrays_.For(drawn.model), path_);
    const auto texture = [&](MapKind kind) -> Texture {
        const auto& map = drawn.Map(kind);
        return map ? textures_.TextureFor(map) : 0;
    };
    SetupModelLights(drawn.lights);
    if (scene.wireframe) {
        glDisable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    } else {
        glEnable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT, GL_FILL);
    }
    BasePass(model, frame, s, texture(MapKind::Texture));
    if (drawn.environmentMapped) SetEnvironmentMapping(true);
    DrawLitPass(model, frame, s, {texture(MapKind::Diffusion), kWhite, kWhite, kBlack, 0.0f, GL_DST_COLOR, GL_ZERO});
    DrawLitPass(model, frame, s, {texture(MapKind::Specularity), kBlack, kBlack, kWhite, 10.0f, GL_ONE, GL_ONE});
    if (drawn.environmentMapped) SetEnvironmentMapping(false);
    if (const Texture glow = texture(MapKind::Glow)) GlowPass(model, frame, s, glow);
}

void Renderer::Collect() {
    textures_.Collect();
    arrays_.Collect();
}

void Renderer::Render(const Scene& scene, const std::function<void()>& present) {
    if (inProgress_) return;
    inProgress_ = true;
    Collect();
    // Every texture exists before the picture starts, so making one never
    // changes GL state in the middle of a pass.
    for (const DrawnModel& drawn : scene.models)
        for (const auto& map : drawn.maps)
            if (map) textures_.TextureFor(map);
    const RenderSettings& s = scene.settings;
    glClearColor(s.backgroundColor[0], s.backgroundColor[1], s.backgroundColor[2], s.backgroundAlpha);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ApplyViewTransform(scene.camera);

    const FramePose pose(scene.frame, scene.nextFrame, scene.blend);
    for (const DrawnModel& drawn : scene.models) {
        if (!drawn.model || !drawn.model->HasFrame(scene.frame)) continue;
        DrawModel(drawn, pose, scene);
    }
    DrawShowItems(scene, arrays_, path_);
    DrawHighlight(scene, arrays_, path_);
    glFinish();
    if (present) present();
    inProgress_ = false;
}

}  // namespace meshara
