// The skin decoder on arbitrary bytes, every format: refuse or decode, never
// crash; a decoded picture must hold exactly width x height RGB pixels, and
// what the header check refuses the decoder refuses too (for the same
// reason when the file is longer than the header ReadSkinImage checks).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/skin_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const meshara::Status header = meshara::CheckSkinHeader(bytes.first(std::min(size, meshara::kSkinHeaderBytes)));
    auto result = meshara::DecodeSkinImage(bytes);
    if (!header && (result || (size > meshara::kSkinHeaderBytes && result.Error() != header.Error()))) std::abort();
    if (!result) return 0;
    const meshara::SkinImage& image = result.Value();
    if (image.width <= 0 || image.height <= 0 || image.width > meshara::kMaxSkinSide ||
        image.height > meshara::kMaxSkinSide ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
        std::abort();
    return 0;
}
