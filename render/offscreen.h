#pragma once
// A GL context without a window: EGL on Mesa's surfaceless platform with a
// pbuffer, a compatibility context that runs the same fixed-function code as
// the view. Used by the tests, the benchmarks and meshara-cli render.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace meshara {

class OffscreenContext {
public:
    // Null, with a reason in why, when no EGL display or context can be had.
    // With alpha the picture also keeps 8 bits of alpha, so what the
    // background's clear leaves transparent stays so in ReadPixelsRgba.
    static std::unique_ptr<OffscreenContext> Create(int width, int height, std::string& why, bool alpha = false);
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }

    // The bits of the configuration in use: 8 a colour channel, as the
    // viewer's window has, so blended passes round the same way; depth 32,
    // or 24 where 32 is not offered, as the window asks.
    struct Bits {
        int red = 0, green = 0, blue = 0, alpha = 0, depth = 0;
    };
    Bits ConfigBits() const { return bits_; }
    // The picture as RGB bytes, top row first.
    std::vector<uint8_t> ReadPixels() const;
    // The picture as RGBA bytes, top row first; alpha is 255 throughout
    // unless the context was made with alpha.
    std::vector<uint8_t> ReadPixelsRgba() const;

private:
    OffscreenContext() = default;
    void* display_ = nullptr;
    void* surface_ = nullptr;
    void* context_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    Bits bits_;
};

}  // namespace meshara
