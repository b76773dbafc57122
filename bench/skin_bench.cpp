// Decoding a large picture (4096 x 4096, made in memory) in every format.
// The references run in the same process: stb_image for BMP and TGA, and
// for PNG and JPEG the libraries' own plain decode of the same file into a
// fresh buffer, which is the floor of any decoder built on them. Meshara's
// TGA is also held against Meshara's BMP, per byte of output.

#include <benchmark/benchmark.h>
#include <png.h>
#include <stb/stb_image.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "formats/png_writer.h"
#include "formats/skin_decoder.h"
#include "tools/writers/picture_writers.h"

namespace {

using namespace meshara::fixtures;

constexpr int32_t kSide = 4096;
constexpr int64_t kOutputBytes = int64_t{kSide} * kSide * 3;

// A picture with short runs and long ones, like painted skins.
IndexedPicture Picture() {
    IndexedPicture p;
    p.width = kSide;
    p.height = kSide;
    for (int i = 0; i < 256; ++i)
        p.palette.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(i * 3), static_cast<uint8_t>(255 - i)});
    p.indices.resize(static_cast<size_t>(kSide) * kSide);
    uint32_t seed = 12345;
    for (size_t i = 0; i < p.indices.size(); ++i) {
        if (i % 8 == 0) seed = seed * 1664525u + 1013904223u;
        p.indices[i] = static_cast<uint8_t>(((i / 64) % 3 == 0) ? (i / 4096) & 0xff : seed >> 24);
    }
    return p;
}

// The picture as a JPEG of quality 90 with 4:2:0 chroma, libjpeg's defaults.
std::vector<uint8_t> EncodeJpeg(const RgbPicture& p) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);  // our own input: an error here ends the benchmark
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(p.width);
    c.image_height = static_cast<JDIMENSION>(p.height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        auto row = const_cast<JSAMPROW>(&p.pixels[static_cast<size_t>(c.next_scanline) * p.width * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return bytes;
}

enum Format { kBmp24, kBmp8, kPcx, kBmpRle8, kTga24, kTgaMapped, kTgaRle, kPng, kJpeg, kFormats };

const std::vector<uint8_t>& File(int64_t which) {
    static const IndexedPicture picture = Picture();
    static const RgbPicture rgb = ToRgb(picture);
    static const std::vector<uint8_t> files[kFormats] = {
        WriteBmp24(rgb), WriteBmp8(picture), WritePcx(picture), WriteBmp8(picture, {.rle8 = true}),
        WriteTga(picture), WriteTga(picture, {.colourMapped = true}), WriteTga(picture, {.runLength = true}),
        meshara::EncodePng(kSide, kSide, rgb.pixels, 3), EncodeJpeg(rgb)};
    return files[which];
}

void BM_Meshara(benchmark::State& state) {
    const auto& bytes = File(state.range(0));
    for (auto _ : state) {
        auto r = meshara::DecodeSkinImage(bytes);
        if (!r) state.SkipWithError(r.Detail().c_str());
        benchmark::DoNotOptimize(r.Value().pixels.data());
    }
    state.SetBytesProcessed(kOutputBytes * state.iterations());
}

void BM_StbImage(benchmark::State& state) {
    const auto& bytes = File(state.range(0));
    for (auto _ : state) {
        int w, h, n;
        stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 3);
        if (!pixels) state.SkipWithError(stbi_failure_reason());
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.SetBytesProcessed(kOutputBytes * state.iterations());
}

// libpng reading the 8-bit RGB file as it is (no transform is needed) from
// memory into a fresh buffer.
struct Source {
    const std::vector<uint8_t>* bytes;
    size_t at;
};
void ReadPngBytes(png_structp png, png_bytep out, png_size_t count) {
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    if (count > s->bytes->size() - s->at) png_error(png, "short");
    std::memcpy(out, s->bytes->data() + s->at, count);
    s->at += count;
}
bool PlainPngRead(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& pixels, std::vector<png_bytep>& rows) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Source source{&bytes, 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, ReadPngBytes);
    png_read_info(png, info);
    pixels.resize(png_get_rowbytes(png, info) * png_get_image_height(png, info));
    rows.resize(png_get_image_height(png, info));
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = pixels.data() + y * png_get_rowbytes(png, info);
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}
void BM_LibPng(benchmark::State& state) {
    const auto& bytes = File(kPng);
    for (auto _ : state) {
        std::vector<uint8_t> pixels;
        std::vector<png_bytep> rows;
        if (!PlainPngRead(bytes, pixels, rows)) state.SkipWithError("libpng refused the file");
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(kOutputBytes * state.iterations());
}

// libjpeg decoding to RGB into a fresh buffer, with its default settings.
void BM_LibJpeg(benchmark::State& state) {
    const auto& bytes = File(kJpeg);
    for (auto _ : state) {
        jpeg_decompress_struct d{};
        jpeg_error_mgr errors{};
        d.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, bytes.data(), bytes.size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_RGB;
        jpeg_start_decompress(&d);
        std::vector<uint8_t> pixels(static_cast<size_t>(d.output_width) * d.output_height * 3);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = pixels.data() + static_cast<size_t>(d.output_scanline) * d.output_width * 3;
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(kOutputBytes * state.iterations());
}

// 0 = 24-bit BMP, 1 = 8-bit BMP, 2 = PCX, 3 = run-length BMP, 4 = 24-bit TGA, 5 = colour-mapped TGA,
// 6 = run-length 24-bit TGA, 7 = PNG, 8 = JPEG. stb_image is built for BMP (not run-length) and TGA only.
BENCHMARK(BM_Meshara)->ArgName("format")->DenseRange(0, kFormats - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StbImage)->ArgName("format")->Arg(kBmp24)->Arg(kBmp8)->Arg(kTga24)->Arg(kTgaMapped)->Arg(kTgaRle)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibJpeg)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
