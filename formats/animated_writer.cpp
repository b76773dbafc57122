#include "formats/animated_writer.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <string>

namespace meshara {

namespace {

Failure Cannot(std::string detail) { return Failure{ErrorKind::CannotCreate, std::move(detail)}; }

// libimagequant's effort (1 best, 10 fastest). Its palettes for rendered
// models differ little between 6 and 10 (mean error 0.10 against 0.12
// levels on faerie), but 6 costs ten times as much.
constexpr int kQuantiserSpeed = 10;

// Each pixel to the palette entry nearest to it. Neighbouring colours share
// the answer found for the first of them met in a cell of 4 x 4 x 4 levels,
// so each cell is searched once: the flat colours (background, unlit parts)
// map exactly, the rest to the entry nearest a colour at most three levels
// from theirs in each channel. Without dithering: error diffusion crawls
// from picture to picture, each with its own palette, and libimagequant's
// own dithered remapping costs about as much again as its quantising.
class NearestEntry {
public:
    void Remap(const liq_palette& palette, std::span<const uint8_t> rgb, std::vector<uint8_t>& indices) {
        std::fill(cells_.begin(), cells_.end(), kUnknown);
        // The palette as three plain arrays of a fixed length, so the
        // distances vectorise; entries past its end lie out of reach.
        for (unsigned e = 0; e < 256; ++e) {
            const bool used = e < palette.count;
            r_[e] = used ? palette.entries[e].r : kFar;
            g_[e] = used ? palette.entries[e].g : kFar;
            b_[e] = used ? palette.entries[e].b : kFar;
        }
        indices.resize(rgb.size() / 3);
        for (size_t i = 0; i < indices.size(); ++i) {
            const uint8_t* p = &rgb[3 * i];
            uint16_t& cell = cells_[static_cast<size_t>((p[0] >> 2) << 12 | (p[1] >> 2) << 6 | (p[2] >> 2))];
            if (cell == kUnknown) cell = Nearest(p);
            indices[i] = static_cast<uint8_t>(cell);
        }
    }

private:
    static constexpr uint16_t kUnknown = 0xFFFF;
    // Farther than any colour from every other, and 256 times its squared
    // distance still fits in 32 bits.
    static constexpr int32_t kFar = 1024;
    // The least of distance * 256 + entry: the nearest entry, the first of equals, in one vectorised pass.
    uint16_t Nearest(const uint8_t* p) const {
        const int32_t r = p[0], g = p[1], b = p[2];
        int32_t least = INT32_MAX;
        for (int32_t e = 0; e < 256; ++e) {
            const int32_t distance = (r_[e] - r) * (r_[e] - r) + (g_[e] - g) * (g_[e] - g) + (b_[e] - b) * (b_[e] - b);
            least = std::min(least, distance * 256 + e);
        }
        return static_cast<uint16_t>(least & 0xFF);
    }
    int32_t r_[256], g_[256], b_[256];
    std::vector<uint16_t> cells_ = std::vector<uint16_t>(1 << 18, kUnknown);
};

class GifWriter final : public AnimatedWriter {
public:
    GifWriter(int width, int height) : width_(width), height_(height) {}
    ~GifWriter() override {
        if (gif_) EGifCloseFile(gif_, nullptr);
        if (attr_) liq_attr_destroy(attr_);
    }

    Status Open() {
        attr_ = liq_attr_create();
        if (!attr_ || liq_set_speed(attr_, kQuantiserSpeed) != LIQ_OK || liq_set_max_colors(attr_, 256) != LIQ_OK)
            return Cannot("libimagequant cannot start");
        int error = 0;
        gif_ = EGifOpen(&bytes_, Append, &error);
        if (!gif_) return Cannot(std::string("giflib cannot start: ") + GifErrorString(error));
        EGifSetGifVersion(gif_, true);
        // No global palette: every picture brings its own.
        if (EGifPutScreenDesc(gif_, width_, height_, 8, 0, nullptr) == GIF_ERROR) return Failed();
        // The application block browsers read as "loop for ever".
        static const GifByteType kLoopForever[3] = {1, 0, 0};
        if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
            EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0") == GIF_ERROR ||
            EGifPutExtensionBlock(gif_, 3, kLoopForever) == GIF_ERROR || EGifPutExtensionTrailer(gif_) == GIF_ERROR)
            return Failed();
        return {};
    }

    Status Add(std::span<const uint8_t> rgb, double delayMs) override {
        const size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
        if (!gif_) return Cannot("the GIF is already finished");
        if (rgb.size() != pixels * 3) return Cannot("a picture of another size than the first");
        rgba_.resize(pixels * 4);
        for (size_t i = 0; i < pixels; ++i) {
            rgba_[4 * i] = rgb[3 * i];
            rgba_[4 * i + 1] = rgb[3 * i + 1];
            rgba_[4 * i + 2] = rgb[3 * i + 2];
            rgba_[4 * i + 3] = 255;
        }
        liq_image* image = liq_image_create_rgba(attr_, rgba_.data(), width_, height_, 0);
        liq_result* result = nullptr;
        const bool quantised = image && liq_image_quantize(image, attr_, &result) == LIQ_OK;
        ColorMapObject* map = nullptr;
        if (quantised) {
            const liq_palette* palette = liq_get_palette(result);
            nearest_.Remap(*palette, rgb, indices_);
            // A GIF palette holds a power of two entries, at least two.
            int size = 2;
            while (size < static_cast<int>(palette->count)) size *= 2;
            std::vector<GifColorType> colours(static_cast<size_t>(size), GifColorType{0, 0, 0});
            for (unsigned i = 0; i < palette->count; ++i)
                colours[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
            map = GifMakeMapObject(size, colours.data());
        }
        if (result) liq_result_destroy(result);
        if (image) liq_image_destroy(image);
        if (!quantised) return Cannot("libimagequant cannot make a palette for the picture");
        if (!map) return Cannot("not enough memory for a palette");

        elapsedMs_ += std::max(delayMs, 0.0);
        const long until = std::lround(elapsedMs_ / 10);
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = static_cast<int>(std::clamp(until - shownCs_, 0L, 65535L));
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        shownCs_ += control.DelayTime;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        const bool written = EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) != GIF_ERROR &&
                             EGifPutImageDesc(gif_, 0, 0, width_, height_, false, map) != GIF_ERROR &&
                             EGifPutLine(gif_, indices_.data(), static_cast<int>(pixels)) != GIF_ERROR;
        GifFreeMapObject(map);
        if (!written) return Failed();
        ++pictures_;
        return {};
    }

    Result<std::vector<uint8_t>> Finish() override {
        if (!gif_) return Cannot("the GIF is already finished");
        if (pictures_ == 0) return Cannot("an animation needs at least one picture");
        int error = 0;
        const int closed = EGifCloseFile(gif_, &error);
        gif_ = nullptr;
        if (closed == GIF_ERROR) return Cannot(std::string("giflib: ") + GifErrorString(error));
        return std::move(bytes_);
    }

private:
    static int Append(GifFileType* gif, const GifByteType* data, int length) {
        auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
        out->insert(out->end(), data, data + length);
        return length;
    }
    Failure Failed() const { return Cannot(std::string("giflib: ") + GifErrorString(gif_->Error)); }

    int width_, height_;
    GifFileType* gif_ = nullptr;
    liq_attr* attr_ = nullptr;
    std::vector<uint8_t> bytes_, rgba_, indices_;
    NearestEntry nearest_;
    double elapsedMs_ = 0;
    long shownCs_ = 0;
    int pictures_ = 0;
};

class WebpWriter final : public AnimatedWriter {
public:
    WebpWriter(int width, int height) : width_(width), height_(height) {}
    ~WebpWriter() override {
        if (encoder_) WebPAnimEncoderDelete(encoder_);
    }

    Status Open() {
        WebPAnimEncoderOptions options;
        if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config_) ||
            !WebPConfigLosslessPreset(&config_, 0))
            return Cannot("libwebp is not the version Meshara was built with");
        options.anim_params.loop_count = 0;  // for ever
        // Lossless, and not tried both ways: each picture is encoded once.
        options.allow_mixed = 0;
        options.minimize_size = 0;
        encoder_ = WebPAnimEncoderNew(width_, height_, &options);
        if (!encoder_) return Cannot("libwebp cannot start an animation");
        return {};
    }

    Status Add(std::span<const uint8_t> rgb, double delayMs) override {
        if (!encoder_ || finished_) return Cannot("the WebP is already finished");
        if (rgb.size() != static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3)
            return Cannot("a picture of another size than the first");
        WebPPicture picture;
        if (!WebPPictureInit(&picture)) return Cannot("libwebp cannot make a picture");
        picture.use_argb = 1;
        picture.width = width_;
        picture.height = height_;
        const bool imported = WebPPictureImportRGB(&picture, rgb.data(), width_ * 3);
        const bool added =
            imported && WebPAnimEncoderAdd(encoder_, &picture, static_cast<int>(std::lround(elapsedMs_)), &config_);
        WebPPictureFree(&picture);
        if (!imported) return Cannot("not enough memory for a picture");
        if (!added) return Cannot(std::string("libwebp: ") + WebPAnimEncoderGetError(encoder_));
        elapsedMs_ += std::max(delayMs, 0.0);
        ++pictures_;
        return {};
    }

    Result<std::vector<uint8_t>> Finish() override {
        if (!encoder_ || finished_) return Cannot("the WebP is already finished");
        if (pictures_ == 0) return Cannot("an animation needs at least one picture");
        finished_ = true;
        // The end of the last picture's time.
        if (!WebPAnimEncoderAdd(encoder_, nullptr, static_cast<int>(std::lround(elapsedMs_)), nullptr))
            return Cannot(std::string("libwebp: ") + WebPAnimEncoderGetError(encoder_));
        WebPData data;
        WebPDataInit(&data);
        if (!WebPAnimEncoderAssemble(encoder_, &data)) return Cannot(std::string("libwebp: ") + WebPAnimEncoderGetError(encoder_));
        std::vector<uint8_t> bytes(data.bytes, data.bytes + data.size);
        WebPDataClear(&data);
        return bytes;
    }

private:
    int width_, height_;
    WebPAnimEncoder* encoder_ = nullptr;
    WebPConfig config_{};
    double elapsedMs_ = 0;
    int pictures_ = 0;
    bool finished_ = false;
};

}  // namespace

std::optional<AnimatedFormat> AnimatedFormatOf(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return std::nullopt;
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == "gif") return AnimatedFormat::Gif;
    if (ext == "webp") return AnimatedFormat::Webp;
    return std::nullopt;
}

Result<std::unique_ptr<AnimatedWriter>> AnimatedWriter::Start(AnimatedFormat format, int width, int height) {
    if (width < 1 || height < 1 || width > kMaxAnimatedSide || height > kMaxAnimatedSide)
        return Cannot("an animated picture is 1 to " + std::to_string(kMaxAnimatedSide) + " pixels a side");
    if (format == AnimatedFormat::Gif) {
        auto gif = std::make_unique<GifWriter>(width, height);
        if (Status opened = gif->Open(); !opened) return opened.Why();
        return std::unique_ptr<AnimatedWriter>(std::move(gif));
    }
    auto webp = std::make_unique<WebpWriter>(width, height);
    if (Status opened = webp->Open(); !opened) return opened.Why();
    return std::unique_ptr<AnimatedWriter>(std::move(webp));
}

}  // namespace meshara
