#include "formats/skin_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "io/byte_reader.h"
#include "io/file_bytes.h"
#include "io/file_name.h"
#include "formats/format_names.h"
#include "formats/picture_decoders.h"
#include "formats/readers.h"
#include "formats/path_input.h"

namespace meshara {

namespace pictures {

// The side limit keeps width * height * 3 far inside size_t; the pixel limit
// keeps a small file from asking for gigabytes (a run-length BMP of a
// kilobyte can claim 16384 x 16384).
Status SizeProblem(const char* format, int64_t width, int64_t height, int64_t maxPixels) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0) return Broken(format, "picture size " + size + " is empty");
    if (width > kMaxSkinSide || height > kMaxSkinSide)
        return Failure{ErrorKind::TooLarge,
                       "picture size " + size + " exceeds " + std::to_string(kMaxSkinSide) + " pixels a side", format};
    if (width * height > maxPixels) {
        const auto side = static_cast<int64_t>(std::sqrt(static_cast<double>(maxPixels)));
        const std::string square =
            side * side == maxPixels ? " (" + std::to_string(side) + " x " + std::to_string(side) + ")" : "";
        return Failure{ErrorKind::TooLarge,
                       "picture size " + size + " has more than " + std::to_string(maxPixels) + " pixels" + square,
                       format};
    }
    return {};
}

SkinImage MakePicture(int32_t width, int32_t height) {
    SkinImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    return image;
}

}  // namespace pictures

namespace {

using namespace pictures;
using SkinResult = Result<SkinImage>;
using Palette = std::array<std::array<uint8_t, 3>, 256>;

constexpr const char* kNotAPicture = "not a picture of a kind Meshara reads (PCX, BMP, PNG, JPEG or TGA)";

// ---- PCX -------------------------------------------------------------------

constexpr size_t kPcxHeaderSize = 128;
constexpr size_t kPcxPaletteSize = 768;

struct PcxHeader {
    int32_t width = 0, height = 0;
    size_t lineLength = 0;  // indices per line in the run-length stream, pad columns included
};

// The fields of the 128-byte header, checked before any picture data is read.
Status ReadPcxHeader(std::span<const uint8_t> bytes, PcxHeader& h) {
    if (bytes.size() < kPcxHeaderSize)
        return Broken(format::kPcx, "PCX file of " + std::to_string(bytes.size()) + " bytes cannot hold its header");
    ByteReader r(bytes);
    r.Seek(3);
    const uint8_t bitsPerPixel = r.U8();
    const int16_t xmin = r.S16(), ymin = r.S16(), xmax = r.S16(), ymax = r.S16();
    r.Seek(65);
    const uint8_t planes = r.U8();
    const uint16_t bytesPerLine = r.U16();
    if (planes != 1 || bitsPerPixel != 8)
        return Unsupported(format::kPcx, "PCX with " + std::to_string(planes) + " plane(s) of " + std::to_string(bitsPerPixel) +
                       " bits; only one plane of 8-bit indices is read");
    if (xmax < xmin || ymax < ymin) return Broken(format::kPcx, "PCX window has its maximum below its minimum");
    h.width = int32_t{xmax} - xmin + 1;
    h.height = int32_t{ymax} - ymin + 1;
    // Lines padded past the width are read with their pad dropped; a field
    // too small for the width is taken as the width, as older readers did.
    h.lineLength = std::max<size_t>(bytesPerLine, static_cast<size_t>(h.width));
    return SizeProblem(format::kPcx, h.width, h.height);
}

SkinResult DecodePcx(std::span<const uint8_t> bytes) {
    if (bytes.size() < kPcxHeaderSize + kPcxPaletteSize)
        return Broken(format::kPcx, "PCX file of " + std::to_string(bytes.size()) + " bytes cannot hold header and palette");
    PcxHeader h;
    if (Status header = ReadPcxHeader(bytes, h); !header) return header.Why();
    const int32_t width = h.width, height = h.height;
    const size_t lineLength = h.lineLength;

    const std::span<const uint8_t> data =
        bytes.subspan(kPcxHeaderSize, bytes.size() - kPcxHeaderSize - kPcxPaletteSize);
    const size_t needed = lineLength * static_cast<size_t>(height);
    // Two bytes yield at most 63 indices: a stream too short for the picture
    // is refused before the picture is allocated.
    if ((data.size() + 1) / 2 * 63 < needed) return Broken(format::kPcx, "PCX run-length data is too short for the picture");

    Palette palette;
    std::memcpy(palette.data(), bytes.data() + bytes.size() - kPcxPaletteSize, kPcxPaletteSize);

    SkinImage image = MakePicture(width, height);
    uint8_t* out = image.pixels.data();
    size_t produced = 0;  // indices decoded so far, pad columns included
    size_t column = 0;    // position within the current line
    auto emit = [&](uint8_t index, size_t count) {
        // A run may cross line ends; pad columns past the width are dropped.
        while (count > 0) {
            size_t take = std::min(count, lineLength - column);
            if (column < static_cast<size_t>(width)) {
                size_t visible = std::min(take, static_cast<size_t>(width) - column);
                const auto& c = palette[index];
                for (size_t i = 0; i < visible; ++i) {
                    out[0] = c[0];
                    out[1] = c[1];
                    out[2] = c[2];
                    out += 3;
                }
            }
            column += take;
            if (column == lineLength) column = 0;
            count -= take;
            produced += take;
        }
    };

    size_t pos = 0;
    while (produced < needed) {
        if (pos >= data.size()) return Broken(format::kPcx, "PCX run-length data ends before the picture is complete");
        const uint8_t b = data[pos++];
        if (b < 0xC0) {
            emit(b, 1);
            continue;
        }
        if (pos >= data.size()) return Broken(format::kPcx, "PCX run-length data ends inside a run");
        const uint8_t index = data[pos++];
        emit(index, std::min<size_t>(b & 0x3F, needed - produced));  // a run past the end is cut
    }
    return image;
}

// ---- BMP -------------------------------------------------------------------

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
SkinResult DecodeBmpUncompressed(std::span<const uint8_t> bytes, const BmpInfo& info) {
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
// padded to an even length. Pixels the stream never sets take index 0.
SkinResult DecodeBmpRle8(std::span<const uint8_t> bytes, const BmpInfo& info, const Palette& palette) {
    if (info.pixelOffset >= bytes.size()) return Broken(format::kBmp, "BMP pixel data lies outside the file");
    const std::span<const uint8_t> data = bytes.subspan(info.pixelOffset);

    SkinImage image = MakePicture(info.width, static_cast<int32_t>(info.height));
    const int64_t width = info.width, height = info.height;
    for (size_t i = 0; i < image.pixels.size(); i += 3) std::memcpy(&image.pixels[i], palette[0].data(), 3);
    int64_t x = 0, y = 0;  // y counts file rows, from the bottom of the picture
    auto put = [&](uint8_t index) {
        if (x < width && y < height) {
            uint8_t* out = &image.pixels[static_cast<size_t>((height - 1 - y) * width + x) * 3];
            std::memcpy(out, palette[index].data(), 3);
        }
        ++x;
    };

    size_t pos = 0;
    while (y < height) {
        if (pos + 2 > data.size()) return Broken(format::kBmp, "BMP run-length data ends before the picture is complete");
        const uint8_t count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(value);
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
            for (size_t i = 0; i < value; ++i) put(data[pos + i]);
            pos += padded;
        }
    }
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

SkinResult DecodeBmp(std::span<const uint8_t> bytes) {
    BmpInfo info{};
    if (Status header = ReadBmpHeader(bytes, info); !header) return header.Why();
    if (info.compression != kBmpRle8) return DecodeBmpUncompressed(bytes, info);
    Palette palette;
    if (Status read = ReadBmpPalette(bytes, info, palette); !read) return read.Why();
    return DecodeBmpRle8(bytes, info, palette);
}

}  // namespace

Result<SkinImage> DecodeSkinImage(std::span<const uint8_t> bytes) {
    switch (SniffFileType(bytes)) {
        case FileType::Pcx: return DecodePcx(bytes);
        case FileType::Bmp: return DecodeBmp(bytes);
        case FileType::Png: return DecodePng(bytes);
        case FileType::Jpeg: return DecodeJpeg(bytes);
        case FileType::Tga: return DecodeTga(bytes);
        default: return Failure{ErrorKind::NotThisFormat, kNotAPicture, format::kPicture};
    }
}

Status CheckSkinHeader(std::span<const uint8_t> head, int64_t maxPixels) {
    switch (SniffFileType(head)) {
        case FileType::Pcx: {
            PcxHeader h;
            if (Status header = ReadPcxHeader(head, h); !header) return header;
            return SizeProblem(format::kPcx, h.width, h.height, maxPixels);
        }
        case FileType::Bmp: {
            BmpInfo info{};
            if (Status header = ReadBmpHeader(head, info); !header) return header;
            return SizeProblem(format::kBmp, info.width, info.height, maxPixels);
        }
        case FileType::Png: return CheckPngHeader(head, maxPixels);
        case FileType::Jpeg: return CheckJpegHeader(head, maxPixels);
        case FileType::Tga: return CheckTgaHeader(head, maxPixels);
        default: return Failure{ErrorKind::NotThisFormat, kNotAPicture, format::kPicture};
    }
}

Result<std::shared_ptr<const SkinImage>> ReadSkinImage(const std::string& path, int64_t maxPixels) {
    auto file = OpenPathInput(path, kMaxPictureEntryBytes);
    if (!file) return file.Why();
    return ReadSkinImage(file.Take(), path, maxPixels);
}

Result<std::shared_ptr<const SkinImage>> ReadSkinImage(PathInput f, const std::string& path, int64_t maxPixels) {
    std::vector<uint8_t> bytes;
    // What the header says is checked before the rest of the file is read.
    if (Status read = f.ReadMore(bytes, kSkinHeaderBytes); !read) return read.Why();
    if (Status header = CheckSkinHeader(bytes, maxPixels); !header) return header.Why();
    if (f.Size() > bytes.size()) {
        if (Status read = f.ReadMore(bytes, f.Size() - bytes.size()); !read) return read.Why();
        // A JPEG's frame header may lie past the first bytes.
        if (maxPixels < kMaxSkinPixels)
            if (Status header = CheckSkinHeader(bytes, maxPixels); !header) return header.Why();
    }
    try {
        auto decoded = DecodeSkinImage(bytes);
        if (!decoded) return decoded.Why();
        auto image = std::make_shared<SkinImage>(decoded.Take());
        image->fileName = FileNameOfPath(path);
        image->path = path;
        return std::shared_ptr<const SkinImage>(std::move(image));
    } catch (const std::bad_alloc&) {
        return Failure{ErrorKind::CannotOpen, "not enough memory to hold the picture"};
    }
}

}  // namespace meshara
