// The skin decoder on arbitrary bytes: refuse or decode, never crash; a
// decoded picture must hold exactly width x height RGB pixels.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/skin_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto result = meshara::DecodeSkinImage(std::span<const uint8_t>(data, size));
    if (!result) return 0;
    const meshara::SkinImage& image = result.Value();
    if (image.width <= 0 || image.height <= 0 || image.width > meshara::kMaxSkinSide ||
        image.height > meshara::kMaxSkinSide ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
        std::abort();
    return 0;
}
