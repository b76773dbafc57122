// BMP pictures: 8-bit indices uncompressed or run-length coded, 16, 24 and
// 32-bit pixels uncompressed, 16 and 32-bit through colour masks; rows
// bottom-up or, uncompressed, top-down.

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <vector>

#include "formats/format_names.h"
#include "formats/picture_decoders.h"
#include "io/byte_reader.h"

namespace meshara::pictures {

namespace {

constexpr size_t kBmpFileHeaderSize = 14;
constexpr uint32_t kBmpMinInfoHeaderSize = 40;
constexpr size_t kBmpMasksAt = 54;  // after a 40-byte header, or inside a longer one: the same place
constexpr uint32_t kBmpRle8 = 1, kBmpBitFields = 3;

// One colour channel of a 16- or 32-bit pixel: the bits of its mask, as a byte.
struct BmpChannel {
    uint32_t mask = 0, max = 0;
    int shift = 0;
    std::vector<uint8_t> byteOf;  // by field value, for fields of up to 16 bits

    uint8_t Of(uint32_t pixel) const {
        const uint32_t field = (pixel & mask) >> shift;
        return field < byteOf.size() ? byteOf[field] : ScaleToByte(field, max);
    }
};

struct BmpInfo {
    uint32_t pixelOffset = 0;
    uint32_t infoHeaderSize = 0;
    int32_t width = 0;
    int64_t height = 0;  // rows, whichever their order
    bool topDown = false;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    std::array<uint32_t, 3> masks{};  // red, green, blue of 16- and 32-bit pixels
};

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// A mask is one run of bits inside the pixel; an empty one gives a channel of 0.
Status CheckMask(uint32_t mask, uint16_t bitCount) {
    if (mask == 0) return {};
    if (bitCount < 32 && (mask >> bitCount) != 0)
        return Broken(format::kBmp, "BMP colour mask " + Hex(mask) + " has bits beyond its " + std::to_string(bitCount) + "-bit pixels");
    const uint32_t run = mask >> std::countr_zero(mask);
    if ((run & (run + 1)) != 0) return Broken(format::kBmp, "BMP colour mask " + Hex(mask) + " is not one run of bits");
    return {};
}

BmpChannel ChannelOf(uint32_t mask) {
    BmpChannel c;
    if (mask == 0) return c;
    c.mask = mask;
    c.shift = std::countr_zero(mask);
    c.max = mask >> c.shift;
    if (c.max <= 0xFFFF)
        for (uint32_t v = 0; v <= c.max; ++v) c.byteOf.push_back(ScaleToByte(v, c.max));
    return c;
}

// Indices at or beyond the colours the file gives read as black.
Status ReadBmpPalette(std::span<const uint8_t> bytes, const BmpInfo& info, Palette& palette) {
    uint32_t colours = info.coloursUsed == 0 ? 256 : info.coloursUsed;
    if (colours > 256)
        return Broken(format::kBmp, "BMP claims " + std::to_string(colours) + " palette colours, at most 256 are possible");
    const uint64_t at = kBmpFileHeaderSize + uint64_t{info.infoHeaderSize};
    if (!TableInside(bytes.size(), static_cast<int64_t>(at), colours, 4)) return Broken(format::kBmp, "BMP palette lies outside the file");
    palette.fill({0, 0, 0});
    const uint8_t* p = bytes.data() + at;
    for (uint32_t i = 0; i < colours; ++i, p += 4) palette[i] = {p[2], p[1], p[0]};
    return {};
}

// Every uncompressed depth: 8-bit indices, 24-bit BGR, 16- and 32-bit pixels
// through their masks (5-5-5 and 8-8-8 when the file gives none).
Result<SkinImage> DecodeBmpUncompressed(std::span<const uint8_t> bytes, const BmpInfo& info) {
    Palette palette;
    if (info.bitCount == 8)
        if (Status read = ReadBmpPalette(bytes, info, palette); !read) return read.Why();
    std::array<BmpChannel, 3> channels;
    if (info.bitCount == 16 || info.bitCount == 32)
        for (size_t c = 0; c < 3; ++c) channels[c] = ChannelOf(info.masks[c]);
    const size_t bytesPerPixel = info.bitCount / 8;
    const size_t rowBytes = static_cast<size_t>(info.width) * bytesPerPixel;
    const size_t stride = (rowBytes + 3) & ~size_t{3};
    // Some writers leave out the padding of the last row; accept that.
    const size_t area = stride * static_cast<size_t>(info.height - 1) + rowBytes;
    if (info.pixelOffset > bytes.size() || bytes.size() - info.pixelOffset < area)
        return Broken(format::kBmp, "BMP pixel rows lie outside the file");

    SkinImage image = MakePicture(info.width, static_cast<int32_t>(info.height));
    const size_t outRow = static_cast<size_t>(info.width) * 3;
    for (int64_t fileRow = 0; fileRow < info.height; ++fileRow) {
        const uint8_t* in = bytes.data() + info.pixelOffset + stride * static_cast<size_t>(fileRow);
        const int64_t row = info.topDown ? fileRow : info.height - 1 - fileRow;
        uint8_t* out = image.pixels.data() + outRow * static_cast<size_t>(row);
        switch (info.bitCount) {
            case 8:
                for (int32_t x = 0; x < info.width; ++x, out += 3) std::memcpy(out, palette[in[x]].data(), 3);
                break;
            case 24:
                for (int32_t x = 0; x < info.width; ++x, in += 3, out += 3) {
                    out[0] = in[2];
                    out[1] = in[1];
                    out[2] = in[0];
                }
                break;
            default:
                for (int32_t x = 0; x < info.width; ++x, in += bytesPerPixel, out += 3) {
                    uint32_t pixel = in[0] | uint32_t{in[1]} << 8;
                    if (bytesPerPixel == 4) pixel |= uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
                    for (size_t c = 0; c < 3; ++c) out[c] = channels[c].Of(pixel);
                }
        }
    }
    return image;
}

// Run-length 8-bit: (count, index) pairs, and escapes after a zero count:
// 0 end of line, 1 end of picture, 2 move by (dx, dy), 3..255 literal indices
// padded to an even length. Walks the stream, handing each pixel's position
// and index to put; the refusal when the stream ends before the picture does.
template <class Put>
Status WalkRle8(std::span<const uint8_t> data, int64_t height, Put&& put) {
    int64_t x = 0, y = 0;  // y counts file rows, from the bottom of the picture
    size_t pos = 0;
    while (y < height) {
        if (pos + 2 > data.size()) return Broken(format::kBmp, "BMP run-length data ends before the picture is complete");
        const uint8_t count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(x++, y, value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (pos + 2 > data.size()) return Broken(format::kBmp, "BMP run-length data ends inside a move");
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
        } else {
            const size_t padded = (size_t{value} + 1) & ~size_t{1};
            if (pos + padded > data.size()) return Broken(format::kBmp, "BMP run-length data ends inside a literal run");
            for (size_t i = 0; i < value; ++i) put(x++, y, data[pos + i]);
            pos += padded;
        }
    }
    return {};
}

// Pixels the stream never sets take index 0. A stream that ends before the
// picture is refused before the picture is made: a kilobyte may claim
// 8192 x 8192, and making that costs far more than reading the kilobyte.
Result<SkinImage> DecodeBmpRle8(std::span<const uint8_t> bytes, const BmpInfo& info, const Palette& palette) {
    if (info.pixelOffset >= bytes.size()) return Broken(format::kBmp, "BMP pixel data lies outside the file");
    const std::span<const uint8_t> data = bytes.subspan(info.pixelOffset);
    const int64_t width = info.width, height = info.height;
    if (Status whole = WalkRle8(data, height, [](int64_t, int64_t, uint8_t) {}); !whole) return whole.Why();

    SkinImage image = MakePicture(info.width, static_cast<int32_t>(info.height));
    for (size_t i = 0; i < image.pixels.size(); i += 3) std::memcpy(&image.pixels[i], palette[0].data(), 3);
    (void)WalkRle8(data, height, [&](int64_t x, int64_t y, uint8_t index) {
        if (x < width && y < height) {
            uint8_t* out = &image.pixels[static_cast<size_t>((height - 1 - y) * width + x) * 3];
            std::memcpy(out, palette[index].data(), 3);
        }
    });
    return image;
}

// The two headers (and a BMP's masks), checked before the palette or any pixel is read.
Status ReadBmpHeader(std::span<const uint8_t> bytes, BmpInfo& info) {
    if (bytes.size() < kBmpFileHeaderSize + kBmpMinInfoHeaderSize)
        return Broken(format::kBmp, "BMP file of " + std::to_string(bytes.size()) + " bytes cannot hold its headers");
    ByteReader r(bytes);
    r.Seek(10);
    info.pixelOffset = r.U32();
    info.infoHeaderSize = r.U32();
    info.width = r.S32();
    const int32_t height = r.S32();
    info.topDown = height < 0;
    info.height = info.topDown ? -int64_t{height} : height;
    r.Skip(2);  // planes
    info.bitCount = r.U16();
    info.compression = r.U32();
    r.Seek(46);
    info.coloursUsed = r.U32();

    if (info.infoHeaderSize < kBmpMinInfoHeaderSize)
        return Unsupported(format::kBmp, "BMP information header of " + std::to_string(info.infoHeaderSize) + " bytes is not supported");
    if (info.bitCount != 8 && info.bitCount != 16 && info.bitCount != 24 && info.bitCount != 32)
        return Unsupported(format::kBmp, "BMP of " + std::to_string(info.bitCount) + " bits per pixel");
    const bool rle = info.compression == kBmpRle8 && info.bitCount == 8;
    const bool bitFields = info.compression == kBmpBitFields && (info.bitCount == 16 || info.bitCount == 32);
    if (info.compression != 0 && !rle && !bitFields)
        return Unsupported(format::kBmp, "BMP compression " + std::to_string(info.compression) + " with " +
                       std::to_string(info.bitCount) + " bits per pixel is not supported");
    if (rle && info.topDown) return Unsupported(format::kBmp, "top-down run-length BMP is not supported");
    if (bitFields) {
        r.Seek(kBmpMasksAt);
        info.masks = {r.U32(), r.U32(), r.U32()};
        if (r.Truncated()) return Broken(format::kBmp, "BMP colour masks lie outside the file");
        for (uint32_t mask : info.masks)
            if (Status valid = CheckMask(mask, info.bitCount); !valid) return valid;
    } else if (info.bitCount == 16) {
        info.masks = {0x7C00, 0x03E0, 0x001F};
    } else if (info.bitCount == 32) {
        info.masks = {0xFF0000, 0xFF00, 0xFF};
    }
    return SizeProblem(format::kBmp, info.width, info.height);
}

}  // namespace

Status CheckBmpHeader(std::span<const uint8_t> head, int64_t maxPixels) {
    return CheckHeaderSize(format::kBmp, head, maxPixels, ReadBmpHeader);
}

Result<SkinImage> DecodeBmp(std::span<const uint8_t> bytes) {
    BmpInfo info{};
    if (Status header = ReadBmpHeader(bytes, info); !header) return header.Why();
    if (info.compression != kBmpRle8) return DecodeBmpUncompressed(bytes, info);
    Palette palette;
    if (Status read = ReadBmpPalette(bytes, info, palette); !read) return read.Why();
    return DecodeBmpRle8(bytes, info, palette);
}

}  // namespace meshara::pictures
