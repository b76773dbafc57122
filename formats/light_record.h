#pragma once
// One light: what a light file holds, plus its on switch (which files do
// not carry). The viewer's global list owns these; models refer to them.

#include <string>

namespace meshara {

struct LightRecord {
    float position[4] = {150, 150, 150, 0};    // GL_POSITION, view space; w = 0 makes it directional
    float spotDirection[4] = {-1, -1, -1, 0};  // GL_SPOT_DIRECTION (x, y, z used)
    float ambient[4] = {0, 0, 0, 1};           // R, G, B, A
    float diffuse[4] = {1, 1, 1, 1};
    float specular[4] = {0.25f, 0.25f, 0.25f, 1};
    // Stored quadratic, constant, linear; light files carry constant, linear, quadratic.
    float quadraticAttenuation = 0;
    float constantAttenuation = 1;
    float linearAttenuation = 0;
    float spotExponent = 0;
    float spotCutoff = 180;  // degrees; 180 = no cone
    bool on = true;          // global switch
    std::string name = "New Light";  // 8-bit text, shown as Windows-1252 (formats/name_text.h)
};

// Writes the fifteen default floating-point values; leaves on and name alone.
void SetLightDefaults(LightRecord& light);

}  // namespace meshara
