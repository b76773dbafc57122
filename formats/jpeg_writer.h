#pragma once
// JPEG pictures through libjpeg-turbo, for meshara-cli's renders named .jpg
// or .jpeg (the file itself goes through io/file_bytes.h).

#include <cstdint>
#include <vector>

namespace meshara {

// The quality a render is written at: the skins' pixels stay sharp, and the
// file is a fifth of the PNG's.
constexpr int kJpegQuality = 92;

// RGB bytes, top row first, as a baseline JPEG file's bytes (4:2:0, the
// quality 1 to 100); empty when the sizes do not match or the encoder fails.
std::vector<uint8_t> EncodeJpeg(int width, int height, const std::vector<uint8_t>& rgb, int quality = kJpegQuality);

}  // namespace meshara
