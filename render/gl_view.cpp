#include "render/gl_view.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

namespace meshara {

void InitGLState(int clientWidth, int clientHeight) {
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    const float aspect = clientHeight == 0 ? 1.0f : static_cast<float>(clientWidth) / static_cast<float>(clientHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(30.0, aspect, 1.0, 4.0);
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0, 0, 0, 1);
    glEnable(GL_CULL_FACE);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(GL_LIGHTING);
    glLoadIdentity();
    gluLookAt(0, 0, 3, 0, 0, 0, 0, 1, 0);
    glEnable(GL_NORMALIZE);
    // The camera matrix stays saved one level down; ApplyViewTransform
    // restores it at every frame.
    glPushMatrix();
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    const GLfloat noAmbient[4] = {0, 0, 0, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, noAmbient);
    glLineWidth(2.0f);
}

bool ApplyViewportAndProjection(int clientWidth, int clientHeight) {
    if (clientHeight < 1) return false;
    glViewport(0, 0, clientWidth, clientHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(30.0, static_cast<double>(clientWidth) / clientHeight, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    return true;
}

void ApplyViewTransform(const Camera& camera) {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPushMatrix();
    float m[16];
    QuatToMatrix(m, camera.rotation);
    glScalef(camera.zoom, camera.zoom, camera.zoom);
    glTranslated(camera.pan.x, camera.pan.y, camera.pan.z);
    glMultMatrixf(m);
    glTranslated(camera.modelOffset.x, camera.modelOffset.y, camera.modelOffset.z);
}

std::vector<uint8_t> ReadFramebuffer(int width, int height, int channels) {
    const size_t row = static_cast<size_t>(width) * static_cast<size_t>(channels);
    std::vector<uint8_t> bottomUp(row * static_cast<size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<uint8_t> topDown(bottomUp.size());
    for (int y = 0; y < height; ++y)
        std::copy_n(&bottomUp[static_cast<size_t>(height - 1 - y) * row], row, &topDown[static_cast<size_t>(y) * row]);
    return topDown;
}

std::vector<uint8_t> ReadBackBuffer(int width, int height) {
    glReadBuffer(GL_BACK);
    return ReadFramebuffer(width, height, 3);
}

}  // namespace meshara
