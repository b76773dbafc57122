// The logical palette for palette displays.

#include <gtest/gtest.h>

#include "render/palette.h"

namespace meshara {
namespace {

TEST(Palette, ThreeThreeTwoGetsRampsAndTheTwelveSystemColours) {
    const PixelLayout layout{8, 3, 0, 3, 3, 2, 6};
    const auto p = BuildPalette(layout);
    ASSERT_EQ(p.size(), 256u);
    EXPECT_EQ(p[255], (PaletteEntry{255, 255, 255}));
    EXPECT_EQ(p[3], (PaletteEntry{128, 0, 0})) << "overridden, the ramp would give 109";
    EXPECT_EQ(p[91], (PaletteEntry{128, 128, 128}));
    EXPECT_EQ(p[247], (PaletteEntry{255, 251, 240}));
    // Entry i: red = ramp3[i & 7], green = ramp3[(i >> 3) & 7], blue = ramp2[i >> 6].
    EXPECT_EQ(p[2 + (5 << 3) + (1 << 6)], (PaletteEntry{73, 182, 85}));
    int overridden = 0;
    for (int i = 0; i < 256; ++i)
        overridden += p[static_cast<size_t>(i)] != PaletteEntry{PaletteComponent(i, 3, 0), PaletteComponent(i, 3, 3),
                                                              PaletteComponent(i, 2, 6)};
    EXPECT_EQ(overridden, 12);
}

TEST(Palette, OtherLayoutsGetRampsOnlyAndOddBitCountsGiveZero) {
    const auto p = BuildPalette(PixelLayout{8, 2, 6, 3, 3, 3, 0});
    ASSERT_EQ(p.size(), 256u);
    EXPECT_EQ(p[3], (PaletteEntry{0, 0, 109})) << "no override outside the standard layout";
    const auto q = BuildPalette(PixelLayout{4, 4, 0, 1, 1, 1, 2});
    ASSERT_EQ(q.size(), 16u);
    for (const auto& e : q) EXPECT_EQ(e[0], 0) << "a 4-bit component is not a ramp";
    EXPECT_EQ(q[2][1], 255);
    EXPECT_EQ(q[4][2], 255);
}

TEST(Palette, TrueColourNeedsNone) { EXPECT_TRUE(BuildPalette(PixelLayout{}).empty()); }

}  // namespace
}  // namespace meshara
