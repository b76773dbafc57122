#pragma once
// 8-bit PCX pictures written, as Quake 2 skins are: one plane of palette
// indices, run-length encoded, with the 256-colour palette at the end.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/skin_image.h"
#include "io/result.h"

namespace meshara {

using Palette = std::array<uint8_t, 768>;  // 256 colours, R, G, B each

// The picture with its colours quantised into a palette of its own
// (libimagequant), or mapped each to the nearest colour of palette when one
// is given (a game's own, so the skin fits its colormap). Refuses a picture
// the quantiser cannot take.
Result<std::vector<uint8_t>> EncodePcx8(const SkinImage& picture, const Palette* palette);

// The palette an 8-bit PCX carries at its end, or NotThisFormat saying why there is none.
Result<Palette> ReadPcxPalette(std::span<const uint8_t> bytes);

}  // namespace meshara
