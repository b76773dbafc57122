#include "tools/writers/picture_writers.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tools/writers/byte_writer.h"

namespace meshara::fixtures {

RgbPicture ToRgb(const IndexedPicture& p) {
    RgbPicture out{p.width, p.height, {}};
    out.pixels.reserve(p.indices.size() * 3);
    for (uint8_t i : p.indices) {
        Rgb c = i < p.palette.size() ? p.palette[i] : Rgb{0, 0, 0};
        out.pixels.insert(out.pixels.end(), c.begin(), c.end());
    }
    return out;
}

namespace {

void PutRun(ByteWriter& w, uint8_t value, int count, bool alwaysRun) {
    if (count == 1 && value < 0xC0 && !alwaysRun) {
        w.U8(value);
    } else {
        w.U8(static_cast<uint8_t>(0xC0 | count));
        w.U8(value);
    }
}

void EncodePcxStream(ByteWriter& w, const std::vector<uint8_t>& stream, const PcxOptions& o, bool last) {
    size_t i = 0;
    while (i < stream.size()) {
        uint8_t v = stream[i];
        int run = 1;
        while (i + run < stream.size() && stream[i + run] == v && run < o.maxRun) ++run;
        i += static_cast<size_t>(run);
        const bool final = last && i == stream.size();
        PutRun(w, v, final ? std::min(run + o.overrunLastRun, 63) : run, o.alwaysRun || (final && o.overrunLastRun));
    }
}

}  // namespace

std::vector<uint8_t> WritePcx(const IndexedPicture& p, const PcxOptions& o) {
    const int32_t bytesPerLine = o.bytesPerLine >= 0 ? o.bytesPerLine : (p.width + 1) / 2 * 2;
    ByteWriter w;
    w.U8(0x0A);
    w.U8(o.version);
    w.U8(1);  // run-length encoding
    w.U8(o.bitsPerPixel);
    w.S16(o.xmin);
    w.S16(o.ymin);
    w.S16(static_cast<int16_t>(o.xmin + p.width - 1));
    w.S16(static_cast<int16_t>(o.ymin + p.height - 1));
    w.U16(72);
    w.U16(72);
    w.Zeros(48);  // 16-colour palette, unused at 8 bits
    w.U8(0);
    w.U8(o.planes);
    w.U16(static_cast<uint16_t>(bytesPerLine));
    w.U16(1);  // colour palette
    w.Zeros(128 - w.Size());

    if (o.zeroCountRun) {
        w.U8(0xC0);
        w.U8(0x55);
    }
    std::vector<uint8_t> all;
    for (int32_t y = 0; y < p.height; ++y) {
        std::vector<uint8_t> line(static_cast<size_t>(std::max(bytesPerLine, 0)), 0);
        for (int32_t x = 0; x < std::min(p.width, bytesPerLine); ++x)
            line[static_cast<size_t>(x)] = p.indices[static_cast<size_t>(y) * p.width + x];
        if (o.runsCrossLines)
            all.insert(all.end(), line.begin(), line.end());
        else
            EncodePcxStream(w, line, o, y + 1 == p.height);
    }
    if (o.runsCrossLines) EncodePcxStream(w, all, o, true);
    w.Bytes().resize(w.Size() - std::min(o.dropDataBytes, w.Size() - 128));

    if (o.writePaletteMarker) w.U8(0x0C);
    for (size_t i = 0; i < 256; ++i) {
        Rgb c = i < p.palette.size() ? p.palette[i] : Rgb{0, 0, 0};
        for (uint8_t b : c) w.U8(b);
    }
    return std::move(w.Bytes());
}

namespace {

constexpr uint32_t kFileHeaderSize = 14;

void WriteBmpHeaders(ByteWriter& w, const BmpOptions& o, int32_t width, int32_t height, uint16_t bitCount,
                     uint32_t compression, uint32_t paletteEntries, uint32_t coloursUsedField) {
    w.Text("BM");
    w.U32(0);  // file size, patched
    w.U32(0);
    w.U32(kFileHeaderSize + o.infoHeaderSize + 4 * paletteEntries);
    w.U32(o.infoHeaderSize);
    w.S32(width);
    w.S32(o.topDown ? -height : height);
    w.U16(1);
    w.U16(bitCount);
    w.U32(o.compression != 0xffffffff ? o.compression : compression);
    w.U32(0);  // image size, patched
    w.S32(2835);
    w.S32(2835);
    w.U32(coloursUsedField);
    w.U32(0);
    if (o.infoHeaderSize > 40) {
        // Bit masks, colour space and the rest of the larger headers: zero is
        // what writers put there for palette and plain RGB pictures.
        w.Zeros(o.infoHeaderSize - 40);
    }
}

void FinishBmp(ByteWriter& w, size_t pixelStart) {
    w.PatchU32(2, static_cast<uint32_t>(w.Size()));
    w.PatchU32(34, static_cast<uint32_t>(w.Size() - pixelStart));
}

int32_t FileRow(int32_t row, int32_t height, bool topDown) { return topDown ? row : height - 1 - row; }

void EncodeRle8Row(ByteWriter& w, const uint8_t* row, int32_t width, bool absolute) {
    int32_t x = 0;
    while (x < width) {
        int32_t run = 1;
        while (x + run < width && row[x + run] == row[x] && run < 255) ++run;
        if (run == 1 && absolute) {
            // Gather a stretch without repeats for absolute mode (needs 3 or more).
            int32_t n = 1;
            while (x + n < width && n < 255 && (x + n + 1 >= width || row[x + n] != row[x + n + 1])) ++n;
            if (n >= 3) {
                w.U8(0);
                w.U8(static_cast<uint8_t>(n));
                for (int32_t i = 0; i < n; ++i) w.U8(row[x + i]);
                if (n % 2) w.U8(0);
                x += n;
                continue;
            }
        }
        w.U8(static_cast<uint8_t>(run));
        w.U8(row[x]);
        x += run;
    }
}

}  // namespace

std::vector<uint8_t> WriteBmp8(const IndexedPicture& p, const BmpOptions& o) {
    const uint32_t paletteEntries = static_cast<uint32_t>(p.palette.size());
    const uint32_t coloursUsed =
        o.coloursUsed >= 0 ? static_cast<uint32_t>(o.coloursUsed) : (paletteEntries == 256 ? 0 : paletteEntries);
    ByteWriter w;
    WriteBmpHeaders(w, o, p.width, p.height, 8, o.rle8 ? 1 : 0, paletteEntries, coloursUsed);
    for (const Rgb& c : p.palette) {
        w.U8(c[2]);
        w.U8(c[1]);
        w.U8(c[0]);
        w.U8(0);
    }
    const size_t pixelStart = w.Size();
    const int32_t stride = (p.width + 3) / 4 * 4;
    for (int32_t fileRow = 0; fileRow < p.height; ++fileRow) {
        const int32_t y = FileRow(fileRow, p.height, o.topDown);
        const uint8_t* row = &p.indices[static_cast<size_t>(y) * p.width];
        if (o.rle8) {
            EncodeRle8Row(w, row, p.width, o.rleAbsoluteRuns);
            if (fileRow + 1 < p.height) {
                w.U8(0);
                w.U8(0);  // end of line
            }
        } else {
            for (int32_t x = 0; x < p.width; ++x) w.U8(row[x]);
            w.Zeros(static_cast<size_t>(stride - p.width));
        }
    }
    if (o.rle8) {
        w.U8(0);
        w.U8(1);  // end of bitmap
    }
    FinishBmp(w, pixelStart);
    return std::move(w.Bytes());
}

std::vector<uint8_t> WriteBmp24(const RgbPicture& p, const BmpOptions& o) {
    ByteWriter w;
    WriteBmpHeaders(w, o, p.width, p.height, 24, 0, 0, o.coloursUsed >= 0 ? static_cast<uint32_t>(o.coloursUsed) : 0);
    const size_t pixelStart = w.Size();
    const int32_t rowBytes = p.width * 3;
    const int32_t stride = (rowBytes + 3) / 4 * 4;
    for (int32_t fileRow = 0; fileRow < p.height; ++fileRow) {
        const int32_t y = FileRow(fileRow, p.height, o.topDown);
        const uint8_t* row = &p.pixels[static_cast<size_t>(y) * rowBytes];
        for (int32_t x = 0; x < p.width; ++x) {
            w.U8(row[3 * x + 2]);
            w.U8(row[3 * x + 1]);
            w.U8(row[3 * x]);
        }
        w.Zeros(static_cast<size_t>(stride - rowBytes));
    }
    FinishBmp(w, pixelStart);
    return std::move(w.Bytes());
}

std::vector<uint8_t> WriteTga(const IndexedPicture& p, const TgaOptions& o) {
    ByteWriter w;
    const bool mapped = o.colourMapped;
    w.U8(0);  // no identification field
    w.U8(mapped ? 1 : 0);
    w.U8(static_cast<uint8_t>((mapped ? 1 : 2) | (o.runLength ? 8 : 0)));
    w.U16(0);
    w.U16(mapped ? static_cast<uint16_t>(p.palette.size()) : 0);
    w.U8(mapped ? 24 : 0);
    w.Zeros(4);  // origin
    w.U16(static_cast<uint16_t>(p.width));
    w.U16(static_cast<uint16_t>(p.height));
    w.U8(mapped ? 8 : 24);
    w.U8(0);  // bottom-up, left to right, no alpha
    if (mapped)
        for (const Rgb& c : p.palette) w.Bytes().insert(w.Bytes().end(), {c[2], c[1], c[0]});
    // The file's pixels, bottom row first, each as the bytes it takes.
    const size_t size = mapped ? 1 : 3, count = p.indices.size();
    std::vector<uint8_t> pixels;
    pixels.reserve(count * size);
    for (int32_t fileRow = 0; fileRow < p.height; ++fileRow)
        for (int32_t x = 0; x < p.width; ++x) {
            const uint8_t i = p.indices[static_cast<size_t>(p.height - 1 - fileRow) * p.width + x];
            const Rgb c = i < p.palette.size() ? p.palette[i] : Rgb{0, 0, 0};
            if (mapped)
                pixels.push_back(i);
            else
                pixels.insert(pixels.end(), {c[2], c[1], c[0]});
        }
    if (!o.runLength) return w.Append(pixels), std::move(w.Bytes());
    const auto same = [&](size_t a, size_t b) { return std::memcmp(&pixels[a * size], &pixels[b * size], size) == 0; };
    for (size_t at = 0; at < count;) {
        size_t run = 1;
        while (at + run < count && run < 128 && same(at + run, at)) ++run;
        size_t length = run;
        if (run == 1)  // raw, up to where the next run starts
            while (at + length < count && length < 128 && (at + length + 1 >= count || !same(at + length, at + length + 1)))
                ++length;
        w.U8(static_cast<uint8_t>((run > 1 ? 0x80 : 0) | (length - 1)));
        const auto from = pixels.begin() + static_cast<std::ptrdiff_t>(at * size);
        w.Bytes().insert(w.Bytes().end(), from, from + static_cast<std::ptrdiff_t>((run > 1 ? 1 : length) * size));
        at += length;
    }
    return std::move(w.Bytes());
}

std::vector<uint8_t> WritePpm(const RgbPicture& p) {
    ByteWriter w;
    w.Text("P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n");
    w.Bytes().insert(w.Bytes().end(), p.pixels.begin(), p.pixels.end());
    return std::move(w.Bytes());
}

std::vector<uint8_t> WritePng(const RgbPicture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, picture.pixels.data(), 0, nullptr)) return {};
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, picture.pixels.data(), 0, nullptr)) return {};
    out.resize(size);
    return out;
}

std::vector<uint8_t> WriteJpeg(const RgbPicture& picture, int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(picture.width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    for (int y = 0; y < picture.height; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(&picture.pixels[static_cast<size_t>(y) * picture.width * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

}  // namespace meshara::fixtures
