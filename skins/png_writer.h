#pragma once
// PNG pictures: what meshara-cli and the viewer write.

#include <cstdint>
#include <string>
#include <vector>

namespace meshara {

// RGB (channels 3) or RGBA (4) bytes, top row first, as an 8-bit PNG file's
// bytes; empty when the sizes do not match or the encoder fails.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& pixels, int channels);

// Writes RGB bytes (top row first) as an 8-bit PNG. False on any failure;
// an existing file is only replaced once the new one is complete.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

// The same for RGBA bytes, alpha kept.
bool WritePngRgba(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);

}  // namespace meshara
