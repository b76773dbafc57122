#include "lights/lgt_file.h"

#include <algorithm>
#include <cstring>

#include "io/byte_reader.h"
#include "io/file_bytes.h"

namespace meshara {

namespace {

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutF32(std::vector<uint8_t>& out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

using LightResult = LoadResult<std::unique_ptr<LightRecord>>;

}  // namespace

std::vector<uint8_t> SerializeLight(const LightRecord& light) {
    const size_t n = std::min(light.name.size(), kLgtMaxNameLength);
    std::vector<uint8_t> out;
    out.reserve(kLgtFixedSize + n);
    out.insert(out.end(), {'L', 'G', 'T', '0'});
    PutU16(out, static_cast<uint16_t>(n));
    out.insert(out.end(), light.name.begin(), light.name.begin() + static_cast<std::ptrdiff_t>(n));
    for (const float* v : {light.ambient, light.diffuse, light.specular, light.position, light.spotDirection})
        for (int i = 0; i < 4; ++i) PutF32(out, v[i]);
    for (float f : {light.constantAttenuation, light.linearAttenuation, light.quadraticAttenuation,
                    light.spotExponent, light.spotCutoff})
        PutF32(out, f);
    return out;
}

LightResult ParseLight(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "LGT0", 4) != 0)
        return LightResult::Fail(LoadError::NotLight, "the file does not start with \"LGT0\"");
    ByteReader r(bytes);
    r.Seek(4);
    const int16_t n = r.S16();
    if (n < 0) return LightResult::Fail(LoadError::NotLight, "negative name length " + std::to_string(n));
    if (bytes.size() < kLgtFixedSize + static_cast<size_t>(n))
        return LightResult::Fail(LoadError::NotLight, "the file has " + std::to_string(bytes.size()) +
                                                          " bytes, a light named with " + std::to_string(n) +
                                                          " bytes needs " +
                                                          std::to_string(kLgtFixedSize + static_cast<size_t>(n)));
    auto light = std::make_unique<LightRecord>();
    auto name = r.View(static_cast<size_t>(n));
    light->name.assign(name.begin(), std::find(name.begin(), name.end(), uint8_t{0}));
    for (float* v : {light->ambient, light->diffuse, light->specular, light->position, light->spotDirection})
        for (int i = 0; i < 4; ++i) v[i] = r.F32();
    for (float* f : {&light->constantAttenuation, &light->linearAttenuation, &light->quadraticAttenuation,
                     &light->spotExponent, &light->spotCutoff})
        *f = r.F32();
    light->on = 1;
    light->deleteMark = 0;
    return light;
}

LightResult LoadLightFile(const std::string& path) {
    auto file = InputFile::Open(path);
    if (!file) return LightResult::Fail(file.Error(), file.Detail());
    // The magic and the name length first; then no more than the light they
    // announce, whatever follows it or however large the file is.
    std::vector<uint8_t> bytes;
    std::string why;
    if (!file.Value().ReadMore(bytes, 6, why)) return LightResult::Fail(LoadError::CannotOpen, why);
    if (bytes.size() == 6 && std::memcmp(bytes.data(), "LGT0", 4) == 0) {
        const int16_t n = static_cast<int16_t>(bytes[4] | (bytes[5] << 8));
        if (n >= 0 && !file.Value().ReadMore(bytes, kLgtFixedSize - 6 + static_cast<size_t>(n), why))
            return LightResult::Fail(LoadError::CannotOpen, why);
    }
    return ParseLight(bytes);
}

LoadError SaveLightFile(const std::string& path, const LightRecord& light, std::string* why) {
    return WriteFileBytes(path, SerializeLight(light), why) ? LoadError::None : LoadError::CannotCreate;
}

}  // namespace meshara
