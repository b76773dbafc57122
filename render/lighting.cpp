#include "render/lighting.h"

#include <GL/gl.h>

#include "lights/light_record.h"

namespace meshara {

void SetupModelLights(const Md2Model& model) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();  // positions and directions are in eye coordinates
    for (int i = 0; i < 8; ++i) {
        const GLenum light = static_cast<GLenum>(GL_LIGHT0 + i);
        const bool present = static_cast<size_t>(i) < model.lights.size();
        const ModelLightEntry* entry = present ? &model.lights[static_cast<size_t>(i)] : nullptr;
        if (!entry || entry->enabled == 0 || !entry->light || entry->light->on == 0) {
            glDisable(light);
            continue;
        }
        const LightRecord& l = *entry->light;
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
