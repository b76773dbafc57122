#pragma once
// Resampling a skin to the power-of-two sides textures want. The GLU scaler
// drops the last row of some pictures (250 x 16 comes out with a black
// bottom row), so the picture is scaled here and GLU only builds mipmaps.

#include <cstdint>
#include <vector>

namespace meshara {

// The power of two GLU would pick for a side: the top two bits decide,
// so 250 and 200 become 256 while 150 becomes 128.
int32_t NearestPowerOfTwo(int32_t value);

// Area-averaging resample of packed RGB rows (top row first).
std::vector<uint8_t> ScaleRgb(const std::vector<uint8_t>& pixels, int32_t width, int32_t height,
                              int32_t newWidth, int32_t newHeight);

}  // namespace meshara
