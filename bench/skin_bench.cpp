// Decoding a large picture (4096 x 4096, made in memory) as 24-bit BMP,
// 8-bit BMP and run-length PCX. The BMPs are also decoded by stb_image in
// the same run: the figure that matters is our time over stb's.

#include <benchmark/benchmark.h>
#include <stb/stb_image.h>

#include <cstdlib>

#include "formats/skin_decoder.h"
#include "tools/writers/picture_writers.h"

namespace {

using namespace meshara::fixtures;

constexpr int32_t kSide = 4096;

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

const std::vector<uint8_t>& File(int which) {
    static const IndexedPicture picture = Picture();
    static const std::vector<uint8_t> files[3] = {WriteBmp24(ToRgb(picture)), WriteBmp8(picture), WritePcx(picture)};
    return files[which];
}

void BM_Meshara(benchmark::State& state) {
    const auto& bytes = File(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto r = meshara::DecodeSkinImage(bytes);
        if (!r) state.SkipWithError(r.Detail().c_str());
        benchmark::DoNotOptimize(r.Value().pixels.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(kSide) * kSide * 3 * state.iterations());
}

void BM_StbImage(benchmark::State& state) {
    const auto& bytes = File(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        int w, h, n;
        stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 3);
        if (!pixels) state.SkipWithError(stbi_failure_reason());
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.SetBytesProcessed(static_cast<int64_t>(kSide) * kSide * 3 * state.iterations());
}

// 0 = 24-bit BMP, 1 = 8-bit BMP, 2 = PCX (stb_image reads no PCX).
BENCHMARK(BM_Meshara)->ArgName("format")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StbImage)->ArgName("format")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
