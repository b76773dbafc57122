#include "formats/skin_scale.h"

#include <algorithm>
#include <cmath>

namespace meshara {

int32_t NearestPowerOfTwo(int32_t value) {
    if (value <= 1) return 1;
    int32_t power = 1;
    uint32_t v = static_cast<uint32_t>(value);
    while (v > 3) {
        v >>= 1;
        power *= 2;
    }
    return v == 3 ? power * 4 : power * static_cast<int32_t>(v);
}

namespace {

// One axis: each destination cell averages the source cells it covers,
// weighted by the covered fraction.
struct Tap {
    int32_t first;
    std::vector<double> weights;
};

std::vector<Tap> Taps(int32_t from, int32_t to) {
    std::vector<Tap> taps(static_cast<size_t>(to));
    const double scale = static_cast<double>(from) / to;
    for (int32_t d = 0; d < to; ++d) {
        const double lo = d * scale, hi = (d + 1) * scale;
        Tap& t = taps[static_cast<size_t>(d)];
        t.first = static_cast<int32_t>(std::floor(lo));
        const int32_t last = std::min(from - 1, static_cast<int32_t>(std::ceil(hi)) - 1);
        for (int32_t s = t.first; s <= last; ++s)
            t.weights.push_back((std::min<double>(hi, s + 1) - std::max<double>(lo, s)) / scale);
    }
    return taps;
}

}  // namespace

std::vector<uint8_t> ScaleRgb(const std::vector<uint8_t>& pixels, int32_t width, int32_t height, int32_t newWidth,
                              int32_t newHeight) {
    if (width == newWidth && height == newHeight) return pixels;
    const auto across = Taps(width, newWidth);
    const auto down = Taps(height, newHeight);
    // Horizontal pass into doubles, then vertical pass with rounding.
    std::vector<double> rows(static_cast<size_t>(newWidth) * height * 3);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < newWidth; ++x) {
            const Tap& t = across[static_cast<size_t>(x)];
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (size_t k = 0; k < t.weights.size(); ++k)
                    sum += t.weights[k] * pixels[(static_cast<size_t>(y) * width + t.first + k) * 3 + c];
                rows[(static_cast<size_t>(y) * newWidth + x) * 3 + c] = sum;
            }
        }
    std::vector<uint8_t> out(static_cast<size_t>(newWidth) * newHeight * 3);
    for (int32_t y = 0; y < newHeight; ++y) {
        const Tap& t = down[static_cast<size_t>(y)];
        for (int32_t x = 0; x < newWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (size_t k = 0; k < t.weights.size(); ++k)
                    sum += t.weights[k] * rows[((t.first + k) * newWidth + x) * 3 + c];
                out[(static_cast<size_t>(y) * newWidth + x) * 3 + c] =
                    static_cast<uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
            }
    }
    return out;
}

}  // namespace meshara
