#pragma once
// Light files: one light, little-endian, IEEE single floats, 106 + N bytes:
//   "LGT0", N (signed 16-bit), N name bytes, ambient, diffuse, specular,
//   position, spotDirection (four floats each), then constant, linear and
//   quadratic attenuation, spot exponent and spot cutoff.
// The on switch is not stored: a light read from a file is on.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/light_record.h"
#include "io/result.h"

namespace meshara {

inline constexpr std::array<uint8_t, 4> kLgtMagic = {'L', 'G', 'T', '0'};
constexpr size_t kLgtFixedSize = 106;
// The 16-bit length allows no more; longer names are written cut.
constexpr size_t kLgtMaxNameLength = 32767;

std::vector<uint8_t> SerializeLight(const LightRecord& light);

// NotThisFormat when the magic is missing, Damaged when the name length is negative or the
// file ends before its last field. The name stops at its first zero byte.
Result<std::unique_ptr<LightRecord>> ParseLight(std::span<const uint8_t> bytes);

// CannotOpen when the file cannot be read. Reads no more than the light the
// file's first six bytes announce.
Result<std::unique_ptr<LightRecord>> LoadLightFile(const std::string& path);

// Writes through WriteFileBytes, so a failure leaves an existing file as it
// was. CannotCreate on any failure.
Status SaveLightFile(const std::string& path, const LightRecord& light);

}  // namespace meshara
