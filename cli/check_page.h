#pragma once
// The page meshara-cli check --html writes: one self-contained HTML file
// (its pictures embedded, nothing fetched) a browser and a screen reader
// read alike.

#include <cstdint>
#include <string>
#include <vector>

#include "session/check.h"

namespace meshara::cli {

// The side of each model's picture on the page, in pixels.
constexpr int kPageThumbnailSize = 128;

// The page of the checked models, thumbnails[i] being the PNG of checked[i]
// (empty for none).
std::string CheckPage(const std::vector<CheckedModel>& checked, const std::vector<std::vector<uint8_t>>& thumbnails);

}  // namespace meshara::cli
