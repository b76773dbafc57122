#include "formats/lgt_file.h"
#include "formats/format_names.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "formats/path_input.h"
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

using LightResult = Result<std::unique_ptr<LightRecord>>;

}  // namespace

std::vector<uint8_t> SerializeLight(const LightRecord& light) {
    const size_t n = std::min(light.name.size(), kLgtMaxNameLength);
    std::vector<uint8_t> out;
    out.reserve(kLgtFixedSize + n);
    out.insert(out.end(), kLgtMagic.begin(), kLgtMagic.end());
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
    if (bytes.size() < 4 || !std::equal(kLgtMagic.begin(), kLgtMagic.end(), bytes.begin()))
        return LightResult::Fail(ErrorKind::NotThisFormat, "the file does not start with \"LGT0\"", format::kLight);
    ByteReader r(bytes);
    r.Seek(4);
    const int16_t n = r.S16();
    if (n < 0) return LightResult::Fail(ErrorKind::Damaged, "negative name length " + std::to_string(n), format::kLight);
    if (bytes.size() < kLgtFixedSize + static_cast<size_t>(n))
        return LightResult::Fail(ErrorKind::Damaged,
                                 "the file has " + std::to_string(bytes.size()) + " bytes, a light named with " +
                                     std::to_string(n) + " bytes needs " +
                                     std::to_string(kLgtFixedSize + static_cast<size_t>(n)),
                                 format::kLight);
    auto light = std::make_unique<LightRecord>();
    auto name = r.View(static_cast<size_t>(n));
    light->name.assign(name.begin(), std::find(name.begin(), name.end(), uint8_t{0}));
    for (float* v : {light->ambient, light->diffuse, light->specular, light->position, light->spotDirection})
        for (int i = 0; i < 4; ++i) v[i] = r.F32();
    for (float* f : {&light->constantAttenuation, &light->linearAttenuation, &light->quadraticAttenuation,
                     &light->spotExponent, &light->spotCutoff})
        *f = r.F32();
    light->on = true;
    return light;
}

LightResult LoadLightFile(const std::string& path) {
    auto file = OpenPathInput(path);
    if (!file) return file.Why();
    // The magic and the name length first; then no more than the light they
    // announce, whatever follows it or however large the file is.
    std::vector<uint8_t> bytes;
    if (Status read = file.Value().ReadMore(bytes, 6); !read) return read.Why();
    if (bytes.size() == 6 && std::equal(kLgtMagic.begin(), kLgtMagic.end(), bytes.begin())) {
        const int16_t n = static_cast<int16_t>(bytes[4] | (bytes[5] << 8));
        if (n >= 0)
            if (Status read = file.Value().ReadMore(bytes, kLgtFixedSize - 6 + static_cast<size_t>(n)); !read)
                return read.Why();
    }
    return ParseLight(bytes);
}

Status SaveLightFile(const std::string& path, const LightRecord& light) {
    return WriteFileBytes(path, SerializeLight(light));
}

void SetLightDefaults(LightRecord& light) {
    const LightRecord defaults;
    std::copy(std::begin(defaults.position), std::end(defaults.position), light.position);
    std::copy(std::begin(defaults.spotDirection), std::end(defaults.spotDirection), light.spotDirection);
    std::copy(std::begin(defaults.ambient), std::end(defaults.ambient), light.ambient);
    std::copy(std::begin(defaults.diffuse), std::end(defaults.diffuse), light.diffuse);
    std::copy(std::begin(defaults.specular), std::end(defaults.specular), light.specular);
    light.quadraticAttenuation = defaults.quadraticAttenuation;
    light.constantAttenuation = defaults.constantAttenuation;
    light.linearAttenuation = defaults.linearAttenuation;
    light.spotExponent = defaults.spotExponent;
    light.spotCutoff = defaults.spotCutoff;
}

}  // namespace meshara
