#pragma once
// Animated pictures that loop for ever, written a picture at a time so a
// long animation never waits in memory whole: GIF, each picture with a
// palette of its own chosen by libimagequant and written by giflib, and
// WebP, lossless, through libwebp's animation encoder. The bytes go to a
// file through io/file_bytes.h once complete.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "io/result.h"

namespace meshara {

enum class AnimatedFormat { Gif, Webp };

// The format a file name asks for by its extension (.gif, .webp, any case).
std::optional<AnimatedFormat> AnimatedFormatOf(std::string_view path);

// The largest side either format takes (WebP's limit).
constexpr int kMaxAnimatedSide = 16383;

class AnimatedWriter {
public:
    // A writer of width x height pictures; CannotCreate when the size is
    // out of range or the encoder cannot start.
    static Result<std::unique_ptr<AnimatedWriter>> Start(AnimatedFormat format, int width, int height);
    virtual ~AnimatedWriter() = default;

    // Appends a picture (RGB, top row first) shown for delayMs. Delays add
    // up before they are rounded to the format's unit (GIF counts
    // hundredths of a second), so 30 pictures a second stay 30 over time.
    virtual Status Add(std::span<const uint8_t> rgb, double delayMs) = 0;
    // The whole file, once every picture is in; CannotCreate without one.
    virtual Result<std::vector<uint8_t>> Finish() = 0;
};

}  // namespace meshara
