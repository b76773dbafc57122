#include "render/palette.h"

#include <cstddef>

namespace meshara {

namespace {
constexpr uint8_t kRamp3[8] = {0, 36, 73, 109, 146, 182, 219, 255};
constexpr uint8_t kRamp2[4] = {0, 85, 170, 255};
constexpr uint8_t kRamp1[2] = {0, 255};

struct Override {
    int index;
    PaletteEntry colour;
};
constexpr Override kSystemColours[12] = {
    {3, {128, 0, 0}},     {24, {0, 128, 0}},     {27, {128, 128, 0}},   {64, {0, 0, 128}},
    {67, {128, 0, 128}},  {88, {0, 128, 128}},   {173, {192, 192, 192}}, {181, {192, 220, 192}},
    {236, {166, 202, 240}}, {247, {255, 251, 240}}, {164, {160, 160, 164}}, {91, {128, 128, 128}},
};
}  // namespace

uint8_t PaletteComponent(int32_t index, uint8_t bits, uint8_t shift) {
    const uint32_t v = static_cast<uint32_t>(index) >> (shift & 31);
    switch (bits) {
        case 1: return kRamp1[v & 1];
        case 2: return kRamp2[v & 3];
        case 3: return kRamp3[v & 7];
        default: return 0;
    }
}

std::vector<PaletteEntry> BuildPalette(const PixelLayout& l) {
    if (l.colorBits > 8) return {};
    std::vector<PaletteEntry> palette(size_t{1} << l.colorBits);
    for (size_t i = 0; i < palette.size(); ++i) {
        const auto index = static_cast<int32_t>(i);
        palette[i] = {PaletteComponent(index, l.redBits, l.redShift), PaletteComponent(index, l.greenBits, l.greenShift),
                      PaletteComponent(index, l.blueBits, l.blueShift)};
    }
    const bool standard332 = l.colorBits == 8 && l.redBits == 3 && l.redShift == 0 && l.greenBits == 3 &&
                             l.greenShift == 3 && l.blueBits == 2 && l.blueShift == 6;
    if (standard332)
        for (const Override& o : kSystemColours) palette[static_cast<size_t>(o.index)] = o.colour;
    return palette;
}

}  // namespace meshara
