#include "formats/pcx_writer.h"
#include "formats/format_names.h"

#include <libimagequant.h>

#include <unordered_map>

namespace meshara {

namespace {

// Each pixel's nearest palette colour (squared distance in RGB); the same
// colour is looked up once.
std::vector<uint8_t> MapToPalette(const SkinImage& picture, const Palette& palette) {
    std::vector<uint8_t> indices(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
    std::unordered_map<uint32_t, uint8_t> seen;
    for (size_t i = 0; i < indices.size(); ++i) {
        const uint8_t* p = &picture.pixels[3 * i];
        const uint32_t key = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
        auto [it, fresh] = seen.try_emplace(key, 0);
        if (fresh) {
            int best = 0, bestDistance = 1 << 30;
            for (int c = 0; c < 256; ++c) {
                const int dr = p[0] - palette[3 * c], dg = p[1] - palette[3 * c + 1], db = p[2] - palette[3 * c + 2];
                const int d = dr * dr + dg * dg + db * db;
                if (d < bestDistance) bestDistance = d, best = c;
            }
            it->second = static_cast<uint8_t>(best);
        }
        indices[i] = it->second;
    }
    return indices;
}

Result<std::vector<uint8_t>> Quantise(const SkinImage& picture, Palette& palette, std::vector<uint8_t>& indices) {
    std::vector<uint8_t> rgba;
    rgba.reserve(picture.pixels.size() / 3 * 4);
    for (size_t i = 0; i < picture.pixels.size(); i += 3)
        rgba.insert(rgba.end(), {picture.pixels[i], picture.pixels[i + 1], picture.pixels[i + 2], 255});
    liq_attr* attr = liq_attr_create();
    liq_image* image = attr ? liq_image_create_rgba(attr, rgba.data(), picture.width, picture.height, 0) : nullptr;
    liq_result* result = nullptr;
    bool ok = image && liq_set_max_colors(attr, 256) == LIQ_OK && liq_image_quantize(image, attr, &result) == LIQ_OK;
    if (ok) {
        indices.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
        ok = liq_write_remapped_image(result, image, indices.data(), indices.size()) == LIQ_OK;
        const liq_palette* p = liq_get_palette(result);
        palette.fill(0);
        for (unsigned c = 0; ok && c < p->count && c < 256; ++c) {
            palette[3 * c] = p->entries[c].r, palette[3 * c + 1] = p->entries[c].g, palette[3 * c + 2] = p->entries[c].b;
        }
    }
    if (result) liq_result_destroy(result);
    if (image) liq_image_destroy(image);
    if (attr) liq_attr_destroy(attr);
    if (!ok) return Failure{ErrorKind::CannotCreate, "the picture's colours could not be quantised"};
    return indices;
}

}  // namespace

Result<std::vector<uint8_t>> EncodePcx8(const SkinImage& picture, const Palette* given) {
    if (picture.width <= 0 || picture.height <= 0 || picture.width > 65535 || picture.height > 65535 ||
        picture.pixels.size() != static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 3)
        return Failure{ErrorKind::CannotCreate, "the picture's size does not fit a PCX file"};
    Palette palette{};
    std::vector<uint8_t> indices;
    if (given) {
        palette = *given;
        indices = MapToPalette(picture, palette);
    } else if (auto q = Quantise(picture, palette, indices); !q) {
        return q.Why();
    }
    // Rows are padded to an even number of bytes, as the format asks.
    const size_t stride = static_cast<size_t>(picture.width + (picture.width & 1));
    std::vector<uint8_t> out(128, 0);
    const auto word = [&out](size_t at, int v) { out[at] = static_cast<uint8_t>(v), out[at + 1] = static_cast<uint8_t>(v >> 8); };
    out[0] = 10, out[1] = 5, out[2] = 1, out[3] = 8;  // ZSoft, version 5, run-length, 8 bits a pixel
    word(8, picture.width - 1), word(10, picture.height - 1), word(12, 72), word(14, 72);
    out[65] = 1;  // one plane
    word(66, static_cast<int>(stride)), word(68, 1);
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* row = &indices[static_cast<size_t>(y) * static_cast<size_t>(picture.width)];
        for (size_t x = 0; x < stride;) {
            const uint8_t v = x < static_cast<size_t>(picture.width) ? row[x] : 0;
            size_t run = 1;
            while (run < 63 && x + run < stride && (x + run < static_cast<size_t>(picture.width) ? row[x + run] : 0) == v) ++run;
            if (run > 1 || v >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
            out.push_back(v);
            x += run;
        }
    }
    out.push_back(12);
    out.insert(out.end(), palette.begin(), palette.end());
    return out;
}

Result<Palette> ReadPcxPalette(std::span<const uint8_t> bytes) {
    if (bytes.size() < 128 + 769 || bytes[0] != 10 || bytes[3] != 8 || bytes[65] != 1 || bytes[bytes.size() - 769] != 12)
        return Failure{ErrorKind::NotThisFormat, "not an 8-bit PCX picture with a palette", format::kPcx};
    Palette palette;
    std::copy(bytes.end() - 768, bytes.end(), palette.begin());
    return palette;
}

}  // namespace meshara
