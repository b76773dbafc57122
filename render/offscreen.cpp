#include "render/offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include "render/gl_view.h"

#include <algorithm>

namespace meshara {

namespace {

EGLDisplay OpenDisplay(std::string& why) {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay display = EGL_NO_DISPLAY;
    if (getPlatformDisplay) display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display == EGL_NO_DISPLAY) {
        why = "no EGL display (Mesa's surfaceless platform is not available)";
        return EGL_NO_DISPLAY;
    }
    if (!eglInitialize(display, nullptr, nullptr)) {
        why = "the EGL display cannot be initialised (error " + std::to_string(eglGetError()) + ")";
        return EGL_NO_DISPLAY;
    }
    return display;
}

}  // namespace

std::unique_ptr<OffscreenContext> OffscreenContext::Create(int width, int height, std::string& why, bool alpha) {
    EGLDisplay display = OpenDisplay(why);
    if (display == EGL_NO_DISPLAY) return nullptr;
    std::unique_ptr<OffscreenContext> ctx(new OffscreenContext);
    ctx->display_ = display;
    ctx->width_ = width;
    ctx->height_ = height;

    if (!eglBindAPI(EGL_OPENGL_API)) {
        why = "EGL offers no desktop OpenGL";
        return nullptr;
    }
    // "At least 8 bits" gets 10 on Mesa, which rounds blended passes
    // differently from an 8-bit window: take exactly 8 a channel, and the
    // depth the window asks for (32, else 24, else 16).
    // Alpha is asked for only when wanted, so the default choice stays the one
    // the other pictures were made with.
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,     8,               EGL_GREEN_SIZE,      8,
                                       EGL_BLUE_SIZE,    8,               EGL_DEPTH_SIZE,      16,
                                       EGL_ALPHA_SIZE,   alpha ? 8 : 0,   EGL_NONE};
    EGLint count = 0;
    eglChooseConfig(display, configAttributes, nullptr, 0, &count);
    std::vector<EGLConfig> configs(static_cast<size_t>(std::max(count, 0)));
    if (count == 0 || !eglChooseConfig(display, configAttributes, configs.data(), count, &count)) {
        why = "no EGL configuration with RGB, depth and pbuffers";
        return nullptr;
    }
    auto bits = [&](EGLConfig c, EGLint attribute) {
        EGLint v = 0;
        eglGetConfigAttrib(display, c, attribute, &v);
        return v;
    };
    EGLConfig config = nullptr;
    for (int depth : {32, 24, 16}) {
        for (EGLConfig c : configs)
            if (bits(c, EGL_RED_SIZE) == 8 && bits(c, EGL_GREEN_SIZE) == 8 && bits(c, EGL_BLUE_SIZE) == 8 &&
                (!alpha || bits(c, EGL_ALPHA_SIZE) == 8) && bits(c, EGL_DEPTH_SIZE) == depth) {
                config = c;
                break;
            }
        if (config) break;
    }
    if (!config) {
        why = std::string("no EGL configuration with 8 bits a colour channel") + (alpha ? " and alpha" : "") +
              " and a depth of 32, 24 or 16 bits";
        return nullptr;
    }
    ctx->bits_ = {bits(config, EGL_RED_SIZE), bits(config, EGL_GREEN_SIZE), bits(config, EGL_BLUE_SIZE),
                  bits(config, EGL_ALPHA_SIZE), bits(config, EGL_DEPTH_SIZE)};
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    ctx->surface_ = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (ctx->surface_ == EGL_NO_SURFACE) {
        why = "cannot create a " + std::to_string(width) + " x " + std::to_string(height) + " pbuffer";
        return nullptr;
    }
    ctx->context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (ctx->context_ == EGL_NO_CONTEXT) {
        why = "cannot create an OpenGL context";
        return nullptr;
    }
    if (!eglMakeCurrent(display, ctx->surface_, ctx->surface_, ctx->context_)) {
        why = "cannot make the OpenGL context current";
        return nullptr;
    }
    return ctx;
}

OffscreenContext::~OffscreenContext() {
    if (!display_) return;
    // Another context made since may be the current one: leave it be.
    if (eglGetCurrentContext() == context_) eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_) eglDestroyContext(display_, context_);
    if (surface_) eglDestroySurface(display_, surface_);
    // The display stays initialised: EGL displays are shared per process,
    // and terminating one would pull it from under a later context.
}

std::vector<uint8_t> OffscreenContext::ReadPixels() const { return ReadFramebuffer(width_, height_, 3); }

std::vector<uint8_t> OffscreenContext::ReadPixelsRgba() const { return ReadFramebuffer(width_, height_, 4); }

}  // namespace meshara
