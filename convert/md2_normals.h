#pragma once
// The normal directions MD2 files index, and the nearest of them to a direction.

#include <array>
#include <cstddef>
#include <cstdint>

namespace meshara {

constexpr size_t kMd2NormalCount = 162;
extern const std::array<std::array<float, 3>, kMd2NormalCount> kMd2Normals;

// The index of the table's direction nearest to (x, y, z) (Quake's axes;
// need not be unit length). A zero vector gets the straight-up direction.
uint8_t NearestMd2Normal(double x, double y, double z);

}  // namespace meshara
