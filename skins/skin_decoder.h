#pragma once
// PCX and BMP skin pictures into top-down RGB. The format is told by the
// first bytes, never by the file name.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "io/load_result.h"
#include "skins/skin_image.h"

namespace meshara {

// Largest width or height accepted; larger pictures are refused before
// anything is allocated.
constexpr int32_t kMaxSkinSide = 16384;

// Decodes PCX (version 5, one plane of 8-bit indices, run-length coded,
// 256-colour palette at the end) and BMP (8-bit uncompressed or run-length,
// 24-bit uncompressed). Fills pixels, width and height; texture stays 0 and
// fileName empty. Refusals: NotSkin or SkinTooLarge (the user is told),
// UnsupportedBmpDepth (refused silently).
LoadResult<SkinImage> DecodeSkinImage(std::span<const uint8_t> bytes);

// Reads and decodes the file at path and names the picture after it.
// CannotOpen when the file cannot be read (refused silently). The texture
// is left for the render layer to make.
LoadResult<std::unique_ptr<SkinImage>> ReadSkinImage(const std::string& path);

}  // namespace meshara
