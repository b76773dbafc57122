#pragma once
// The logical palette for displays that need one (8-bit and smaller pixel
// formats). Pure computation: the window layer realises it where it applies.

#include <array>
#include <cstdint>
#include <vector>

namespace meshara {

struct PixelLayout {
    uint8_t colorBits = 24;
    uint8_t redBits = 8, redShift = 16;
    uint8_t greenBits = 8, greenShift = 8;
    uint8_t blueBits = 8, blueShift = 0;
};

using PaletteEntry = std::array<uint8_t, 3>;  // red, green, blue

// One component of palette entry index: the ramp for bits 1, 2 or 3 at
// (index >> shift); 0 for any other bit count.
uint8_t PaletteComponent(int32_t index, uint8_t bits, uint8_t shift);

// 2^colorBits entries from the ramps; the 3-3-2 layout with shifts 0, 3, 6
// also gets the twelve fixed system colours, so the desktop keeps its look.
// Empty when colorBits is above 8: such displays need no palette.
std::vector<PaletteEntry> BuildPalette(const PixelLayout& layout);

}  // namespace meshara
