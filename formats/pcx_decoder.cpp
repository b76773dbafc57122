// PCX pictures: version 5, one plane of 8-bit indices, run-length coded,
// with the 256-colour palette at the end of the file.

#include <algorithm>
#include <cstring>

#include "formats/format_names.h"
#include "formats/picture_decoders.h"
#include "io/byte_reader.h"

namespace meshara::pictures {

namespace {

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

}  // namespace

Status CheckPcxHeader(std::span<const uint8_t> head, int64_t maxPixels) {
    return CheckHeaderSize(format::kPcx, head, maxPixels, ReadPcxHeader);
}

Result<SkinImage> DecodePcx(std::span<const uint8_t> bytes) {
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

}  // namespace meshara::pictures
