#pragma once
// PNG pictures: what meshara-cli and the viewer write (the file itself goes
// through io/file_bytes.h, so it is only replaced once complete).

#include <cstdint>
#include <vector>

namespace meshara {

// RGB (channels 3) or RGBA (4) bytes, top row first, as an 8-bit PNG file's
// bytes; empty when the sizes do not match or the encoder fails.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& pixels, int channels);

}  // namespace meshara
