// Resampling skins to power-of-two sides before mipmaps are built.

#include <gtest/gtest.h>

#include "formats/skin_scale.h"

namespace meshara {
namespace {

TEST(SkinScale, PowerOfTwoFollowsTheTopTwoBits) {
    const struct {
        int32_t in, out;
    } cases[] = {{1, 1}, {2, 2}, {3, 4}, {5, 4}, {6, 8}, {101, 128}, {150, 128}, {193, 256},
                 {200, 256}, {219, 256}, {250, 256}, {256, 256}, {308, 256}, {16384, 16384}};
    for (const auto& c : cases) EXPECT_EQ(NearestPowerOfTwo(c.in), c.out) << c.in;
}

std::vector<uint8_t> Filled(int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> out;
    for (int32_t i = 0; i < w * h; ++i) out.insert(out.end(), {r, g, b});
    return out;
}

TEST(SkinScale, OneColourStaysExactlyThatColourAtEverySize) {
    for (auto [w, h, nw, nh] : {std::array{250, 16, 256, 16}, {219, 101, 256, 128}, {300, 200, 256, 256},
                                {1, 1, 4, 4}, {7, 3, 8, 4}}) {
        const auto out = ScaleRgb(Filled(w, h, 12, 200, 77), w, h, nw, nh);
        EXPECT_EQ(out, Filled(nw, nh, 12, 200, 77)) << w << "x" << h << " -> " << nw << "x" << nh;
    }
}

TEST(SkinScale, EveryRowOfAStripedPictureStaysTheSame) {
    // The fault this guards against: the last row of 250 x 16 coming out black.
    std::vector<uint8_t> stripes;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 250; ++x) stripes.insert(stripes.end(), {uint8_t((x / 10) % 2 ? 255 : 0), uint8_t(x), 9});
    const auto out = ScaleRgb(stripes, 250, 16, 256, 16);
    const size_t row = 256 * 3;
    for (int y = 1; y < 16; ++y)
        ASSERT_TRUE(std::equal(out.begin(), out.begin() + row, out.begin() + y * row)) << "row " << y;
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[(255 * 3) + 1], 249) << "the right edge keeps the last column";
}

TEST(SkinScale, HalvingAveragesPairs) {
    const std::vector<uint8_t> in = {0, 0, 0, 100, 100, 100, 200, 200, 200, 255, 255, 255};
    EXPECT_EQ(ScaleRgb(in, 4, 1, 2, 1), (std::vector<uint8_t>{50, 50, 50, 228, 228, 228}));
    EXPECT_EQ(ScaleRgb(in, 4, 1, 4, 1), in);
}

}  // namespace
}  // namespace meshara
