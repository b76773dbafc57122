#include "render/renderer.h"

#include <GL/gl.h>

#include "render/gl_view.h"
#include "render/lighting.h"
#include "render/submission.h"

namespace meshara {

int32_t renderInProgress = 0;

namespace {

constexpr GLfloat kWhite[4] = {1, 1, 1, 1};
constexpr GLfloat kBlack[4] = {0, 0, 0, 1};

const SkinImage* MapInUse(const std::unique_ptr<SkinImage>& map, int32_t on) {
    return (on != 0 && map) ? map.get() : nullptr;
}

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

void BasePass(const Md2Model& model, FramePose frame, const RenderSettings& s) {
    if (const SkinImage* texture = MapInUse(model.textureMap, model.textureMapOn)) {
        glDisable(GL_LIGHTING);
        glDisable(GL_DITHER);
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        BindSkinTexture(texture->texture);
        SetTextureFilter(s.textureFilter);
        glShadeModel(GL_FLAT);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        DrawTextured(model, frame);
    } else {
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_LIGHTING);
        glDisable(GL_DITHER);
        glDisable(GL_BLEND);
        glShadeModel(GL_FLAT);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glColor3f(1, 1, 1);
        DrawPlain(model, frame);
    }
}

struct LitPass {
    const SkinImage* map;
    const GLfloat* ambient;
    const GLfloat* diffuse;
    const GLfloat* specular;
    GLfloat shininess;
    GLenum blendSource;
    GLenum blendDestination;
};

void DrawLitPass(const Md2Model& model, FramePose frame, const RenderSettings& s, const LitPass& pass) {
    glEnable(GL_BLEND);
    glEnable(GL_LIGHTING);
    if (pass.map) {
        glEnable(GL_TEXTURE_2D);
        glDisable(GL_DITHER);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        BindSkinTexture(pass.map->texture);
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
    if (pass.map)
        DrawLitTextured(model, frame);
    else
        DrawLit(model, frame);
    EndDepthRule(s);
}

void GlowPass(const Md2Model& model, FramePose frame, const RenderSettings& s, const SkinImage& glow) {
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DITHER);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    BindSkinTexture(glow.texture);
    SetTextureFilter(s.textureFilter);
    glShadeModel(GL_FLAT);
    BeginDepthRule(s);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_ONE, GL_ONE);
    DrawTextured(model, frame);
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

void DrawModel(const Md2Model& model, FramePose frame, const Scene& scene) {
    const RenderSettings& s = scene.settings;
    SetupModelLights(model);
    if (scene.wireframe == 1) {
        glDisable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    } else {
        glEnable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT, GL_FILL);
    }
    BasePass(model, frame, s);
    const bool environment = model.environmentMapped == 1;
    if (environment) SetEnvironmentMapping(true);
    DrawLitPass(model, frame, s,
                {MapInUse(model.diffusionMap, model.diffusionMapOn), kWhite, kWhite, kBlack, 0.0f, GL_DST_COLOR,
                 GL_ZERO});
    DrawLitPass(model, frame, s,
                {MapInUse(model.specularityMap, model.specularityMapOn), kBlack, kBlack, kWhite, 10.0f, GL_ONE,
                 GL_ONE});
    if (environment) SetEnvironmentMapping(false);
    if (const SkinImage* glow = MapInUse(model.glowMap, model.glowMapOn)) GlowPass(model, frame, s, *glow);
}

}  // namespace

void RenderScene(const Scene& scene, const std::function<void()>& present) {
    if (renderInProgress != 0) return;
    renderInProgress = 1;
    const RenderSettings& s = scene.settings;
    glClearColor(s.backgroundColor[0], s.backgroundColor[1], s.backgroundColor[2], s.backgroundAlpha);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ApplyViewTransform(scene.camera);

    const int32_t frame = scene.models.currentFrame;
    const FramePose pose(frame, scene.nextFrame, scene.blend);
    for (const auto& model : scene.models.models) {
        if (model->visible == 0 || frame < 0 || frame >= model->FrameCount()) continue;
        DrawModel(*model, pose, scene);
    }
    glFinish();
    if (present) present();
    renderInProgress = 0;
}

}  // namespace meshara
