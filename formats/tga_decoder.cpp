// TGA pictures: colour-mapped, true-colour and greyscale, plain or
// run-length coded, in either row order. The header has no magic; the
// sniffer has already judged it plausible (formats/sniff.cpp).

#include <algorithm>
#include "formats/format_names.h"
#include <array>
#include <cstring>

#include "formats/picture_decoders.h"
#include "io/byte_reader.h"

namespace meshara::pictures {

namespace {

constexpr size_t kTgaHeaderSize = 18;
constexpr size_t kLongestPacket = 128;  // pixels one run-length packet can stand for

struct TgaHeader {
    uint8_t idLength = 0, mapType = 0, imageType = 0;
    uint16_t mapFirst = 0, mapLength = 0;
    uint8_t mapDepth = 0;
    int32_t width = 0, height = 0;
    uint8_t depth = 0, descriptor = 0;

    int Kind() const { return imageType & ~8; }  // 1 colour-mapped, 2 true colour, 3 greyscale
    bool RunLength() const { return (imageType & 8) != 0; }
    size_t PixelBytes() const { return (depth + 7u) / 8; }
    size_t MapBytes() const { return mapType == 1 ? size_t{mapLength} * ((mapDepth + 7u) / 8) : 0; }
    size_t DataOffset() const { return kTgaHeaderSize + idLength + MapBytes(); }
};

Status ReadTgaHeader(std::span<const uint8_t> bytes, TgaHeader& h) {
    if (bytes.size() < kTgaHeaderSize)
        return Broken(format::kTga, "TGA file of " + std::to_string(bytes.size()) + " bytes cannot hold its header");
    ByteReader r(bytes);
    h.idLength = r.U8();
    h.mapType = r.U8();
    h.imageType = r.U8();
    h.mapFirst = r.U16();
    h.mapLength = r.U16();
    h.mapDepth = r.U8();
    r.Skip(4);  // the origin on a screen of old
    h.width = r.U16();
    h.height = r.U16();
    h.depth = r.U8();
    h.descriptor = r.U8();
    if (h.Kind() == 1 && h.depth != 8)
        return Unsupported(format::kTga, "colour-mapped TGA with " + std::to_string(h.depth) + "-bit indices; only 8-bit indices are read");
    return SizeProblem(format::kTga, h.width, h.height);
}

enum class Layout { Index8, Grey8, GreyAlpha, Bgr15, Bgr24, Bgr32 };

Layout LayoutOf(int kind, uint8_t depth) {
    if (kind == 1) return Layout::Index8;
    if (kind == 3) return depth == 8 ? Layout::Grey8 : Layout::GreyAlpha;
    return depth == 24 ? Layout::Bgr24 : depth == 32 ? Layout::Bgr32 : Layout::Bgr15;
}

// File pixels to RGB. 16-bit pixels are 5-5-5 with the top bit an alpha or
// nothing; like every other alpha, it is dropped.
struct PixelConverter {
    Layout layout = Layout::Bgr24;
    std::array<std::array<uint8_t, 3>, 256> palette{};  // colour-mapped: by index, missing entries black
    std::array<uint8_t, 32> five{};

    PixelConverter() {
        for (uint32_t v = 0; v < 32; ++v) five[v] = ScaleToByte(v, 31);
    }

    void Bgr15(const uint8_t* in, uint8_t* out) const {
        const unsigned v = in[0] | (in[1] << 8);
        out[0] = five[(v >> 10) & 31];
        out[1] = five[(v >> 5) & 31];
        out[2] = five[v & 31];
    }

    // count pixels from in to out.
    void Convert(const uint8_t* in, size_t count, uint8_t* out) const {
        switch (layout) {
            case Layout::Index8:
                for (size_t i = 0; i < count; ++i, out += 3) std::memcpy(out, palette[in[i]].data(), 3);
                break;
            case Layout::Grey8:
                for (size_t i = 0; i < count; ++i, out += 3) out[0] = out[1] = out[2] = in[i];
                break;
            case Layout::GreyAlpha:
                for (size_t i = 0; i < count; ++i, in += 2, out += 3) out[0] = out[1] = out[2] = in[0];
                break;
            case Layout::Bgr15:
                for (size_t i = 0; i < count; ++i, in += 2, out += 3) Bgr15(in, out);
                break;
            case Layout::Bgr24:
                for (size_t i = 0; i < count; ++i, in += 3, out += 3) {
                    out[0] = in[2];
                    out[1] = in[1];
                    out[2] = in[0];
                }
                break;
            case Layout::Bgr32:
                for (size_t i = 0; i < count; ++i, in += 4, out += 3) {
                    out[0] = in[2];
                    out[1] = in[1];
                    out[2] = in[0];
                }
                break;
        }
    }
};

// The map's entries, converted as pixels of its own depth would be.
Status ReadColourMap(std::span<const uint8_t> bytes, const TgaHeader& h, PixelConverter& converter) {
    const size_t at = kTgaHeaderSize + h.idLength, entryBytes = (h.mapDepth + 7u) / 8;
    if (!TableInside(bytes.size(), static_cast<int64_t>(at), h.mapLength, static_cast<int64_t>(entryBytes)))
        return Broken(format::kTga, "TGA colour map of " + std::to_string(h.mapLength) + " entries lies outside the file");
    PixelConverter entries;
    entries.layout = LayoutOf(2, h.mapDepth);
    for (size_t index = h.mapFirst; index < 256 && index - h.mapFirst < h.mapLength; ++index)
        entries.Convert(bytes.data() + at + (index - h.mapFirst) * entryBytes, 1, converter.palette[index].data());
    return {};
}

// Packets run on from one row into the next, as most writers let them.
Status DecodeRunLength(std::span<const uint8_t> data, const TgaHeader& h, const PixelConverter& converter,
                       SkinImage& image, bool topDown) {
    const size_t pixelBytes = h.PixelBytes(), width = static_cast<size_t>(h.width);
    const size_t total = width * static_cast<size_t>(h.height);
    size_t done = 0, pos = 0;
    auto rowStart = [&](size_t fileRow) {
        const size_t row = topDown ? fileRow : static_cast<size_t>(h.height) - 1 - fileRow;
        return image.pixels.data() + row * width * 3;
    };
    while (done < total) {
        if (pos >= data.size()) return Broken(format::kTga, "TGA run-length data ends before the picture is complete");
        const uint8_t packet = data[pos++];
        const size_t count = std::min<size_t>((packet & 0x7F) + 1u, total - done);  // a packet past the end is cut
        const bool run = (packet & 0x80) != 0;
        const size_t stored = run ? 1 : count;
        if (data.size() - pos < stored * pixelBytes) return Broken(format::kTga, "TGA run-length data ends inside a packet");
        std::array<uint8_t, 3> colour{};
        if (run) converter.Convert(data.data() + pos, 1, colour.data());
        for (size_t left = count; left > 0;) {
            const size_t x = done % width, piece = std::min(left, width - x);
            uint8_t* out = rowStart(done / width) + x * 3;
            if (run) {
                for (size_t i = 0; i < piece; ++i, out += 3) std::memcpy(out, colour.data(), 3);
            } else {
                converter.Convert(data.data() + pos + (count - left) * pixelBytes, piece, out);
            }
            done += piece;
            left -= piece;
        }
        pos += stored * pixelBytes;
    }
    return {};
}

}  // namespace

Status CheckTgaHeader(std::span<const uint8_t> head, int64_t maxPixels) {
    return CheckHeaderSize(format::kTga, head, maxPixels, ReadTgaHeader);
}

Result<SkinImage> DecodeTga(std::span<const uint8_t> bytes) {
    TgaHeader h;
    if (Status header = ReadTgaHeader(bytes, h); !header) return header.Why();
    PixelConverter converter;
    converter.layout = LayoutOf(h.Kind(), h.depth);
    if (h.Kind() == 1)
        if (Status map = ReadColourMap(bytes, h, converter); !map) return map.Why();

    // Checked before the picture is allocated: the data must be able to fill
    // it, so a few bytes never ask for a large picture.
    const size_t offset = h.DataOffset(), pixels = static_cast<size_t>(h.width) * static_cast<size_t>(h.height);
    if (offset > bytes.size()) return Broken(format::kTga, "TGA pixel data lies outside the file");
    const std::span<const uint8_t> data = bytes.subspan(offset);
    const size_t least = h.RunLength() ? (pixels + kLongestPacket - 1) / kLongestPacket * (1 + h.PixelBytes())
                                       : pixels * h.PixelBytes();
    if (data.size() < least)
        return Broken(format::kTga, std::string("TGA ") + (h.RunLength() ? "run-length data" : "pixel data") +
                       " is too short for the picture");

    SkinImage image = MakePicture(h.width, h.height);
    const bool topDown = (h.descriptor & 0x20) != 0;
    const size_t rowBytes = static_cast<size_t>(h.width) * 3;
    if (h.RunLength()) {
        if (Status decoded = DecodeRunLength(data, h, converter, image, topDown); !decoded) return decoded.Why();
    } else {
        const size_t inRow = static_cast<size_t>(h.width) * h.PixelBytes();
        for (int32_t fileRow = 0; fileRow < h.height; ++fileRow) {
            const int32_t row = topDown ? fileRow : h.height - 1 - fileRow;
            converter.Convert(data.data() + inRow * static_cast<size_t>(fileRow), static_cast<size_t>(h.width),
                              image.pixels.data() + rowBytes * static_cast<size_t>(row));
        }
    }
    if ((h.descriptor & 0x10) != 0) {  // stored right to left
        for (size_t row = 0; row < static_cast<size_t>(h.height); ++row) {
            uint8_t* left = image.pixels.data() + row * rowBytes;
            for (uint8_t* right = left + rowBytes - 3; left < right; left += 3, right -= 3) std::swap_ranges(left, left + 3, right);
        }
    }
    return image;
}

}  // namespace meshara::pictures
