#pragma once
// Builds light files field by field, independently of the program's own
// writer, so tests can compare the two and make malformed files.

#include <cstdint>
#include <string>
#include <vector>

namespace meshara::fixtures {

struct LgtSource {
    std::string magic = "LGT0";
    std::string name = "New Light";
    int32_t nameLength = -1;  // -1: the name's length; otherwise written as is (low 16 bits)
    float ambient[4] = {0, 0, 0, 1};
    float diffuse[4] = {1, 1, 1, 1};
    float specular[4] = {0.25f, 0.25f, 0.25f, 1};
    float position[4] = {150, 150, 150, 0};
    float spotDirection[4] = {-1, -1, -1, 0};
    float constantAttenuation = 1;
    float linearAttenuation = 0;
    float quadraticAttenuation = 0;
    float spotExponent = 0;
    float spotCutoff = 180;
};

std::vector<uint8_t> WriteLgt(const LgtSource& source);

}  // namespace meshara::fixtures
