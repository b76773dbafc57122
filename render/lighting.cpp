#include "render/lighting.h"

#include <GL/gl.h>

namespace meshara {

void SetupModelLights(const std::array<const LightRecord*, kMaxModelLights>& lights) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();  // positions and directions are in eye coordinates
    for (size_t i = 0; i < lights.size(); ++i) {
        const GLenum light = static_cast<GLenum>(GL_LIGHT0 + i);
        if (!lights[i]) {
            glDisable(light);
            continue;
        }
        const LightRecord& l = *lights[i];
        glEnable(light);
        glLightfv(light, GL_POSITION, l.position);
        glLightfv(light, GL_AMBIENT, l.ambient);
        glLightfv(light, GL_DIFFUSE, l.diffuse);
        glLightfv(light, GL_SPECULAR, l.specular);
        glLightfv(light, GL_SPOT_DIRECTION, l.spotDirection);
        glLightf(light, GL_CONSTANT_ATTENUATION, l.constantAttenuation);
        glLightf(light, GL_LINEAR_ATTENUATION, l.linearAttenuation);
        glLightf(light, GL_QUADRATIC_ATTENUATION, l.quadraticAttenuation);
        glLightf(light, GL_SPOT_CUTOFF, l.spotCutoff);
        glLightf(light, GL_SPOT_EXPONENT, l.spotExponent);
    }
    glPopMatrix();
}

}  // namespace meshara
