// Loading models from memory: the parse (normals are made per frame when
// first drawn), the normals of every frame, and a reference pass that only
// sums the file's bytes, so results read as ratios that hold from one
// machine to another. Hostile files of 1 and 4 MB (one vertex, tables
// overlapping) show that opening costs time linear in the file's size.
//
// Counters: ns_per_unit is nanoseconds per frame x (triangles + vertices),
// the quantity the normal computation is proportional to.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "model/md2_model.h"
#include "model/normals.h"
#include "tools/writers/md2_writer.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path ModelPath(const std::string& name) {
    if (name == "knot.md2") return fs::path(MESHARA_SAMPLES_DIR) / name;
    return fs::path(MESHARA_CORPUS_DIR) / "md2" / name;
}

double Units(const meshara::Md2Model& m) {
    return static_cast<double>(m.FrameCount()) * (m.TriangleCount() + m.vertexCount);
}

void BM_Load(benchmark::State& state, const std::string& name) {
    const auto bytes = ReadAll(ModelPath(name));
    auto probe = meshara::ParseMd2Model(bytes, name);
    if (!probe) {
        state.SkipWithError(("cannot load " + ModelPath(name).string()).c_str());
        return;
    }
    for (auto _ : state) {
        auto r = meshara::ParseMd2Model(bytes, name);
        benchmark::DoNotOptimize(r.Value().get());
    }
    const double units = Units(*probe.Value());
    state.counters["ns_per_unit"] = benchmark::Counter(
        units * static_cast<double>(state.iterations()) * 1e-9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<int64_t>(bytes.size()) * state.iterations());
}

void BM_Normals(benchmark::State& state, const std::string& name) {
    const auto bytes = ReadAll(ModelPath(name));
    auto r = meshara::ParseMd2Model(bytes, name);
    if (!r) {
        state.SkipWithError(("cannot load " + ModelPath(name).string()).c_str());
        return;
    }
    for (auto _ : state)
        for (int32_t f = 0; f < r.Value()->FrameCount(); ++f)
            benchmark::DoNotOptimize(meshara::FrameNormals(*r.Value(), f).data());
    state.counters["ns_per_unit"] = benchmark::Counter(
        Units(*r.Value()) * static_cast<double>(state.iterations()) * 1e-9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// One vertex, tables overlapping: 1 MB holds 87,381 triangles and 23,831
// frames, 4 MB 349,525 and 95,325.
std::vector<uint8_t> Hostile(int megabytes) {
    const int32_t bytes = megabytes << 20;
    return meshara::fixtures::WriteOverlappingTables(bytes / 12, bytes / 44);
}

// Opening, and opening then drawing one frame (its normals made).
void BM_OpenHostile(benchmark::State& state, int megabytes, bool firstFrame) {
    const auto bytes = Hostile(megabytes);
    for (auto _ : state) {
        auto r = meshara::ParseMd2Model(bytes, "hostile.md2");
        if (firstFrame) benchmark::DoNotOptimize(meshara::FrameNormals(*r.Value(), 0).data());
        benchmark::DoNotOptimize(r.Value().get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes.size()) * state.iterations());
}

// What opening cost when every frame's normals were made at load.
void BM_AllNormalsHostile(benchmark::State& state, int megabytes) {
    auto r = meshara::ParseMd2Model(Hostile(megabytes), "hostile.md2");
    for (auto _ : state)
        for (int32_t f = 0; f < r.Value()->FrameCount(); ++f)
            benchmark::DoNotOptimize(meshara::FrameNormals(*r.Value(), f).data());
}

void BM_ByteSumHostile(benchmark::State& state, int megabytes) {
    const auto bytes = Hostile(megabytes);
    for (auto _ : state) benchmark::DoNotOptimize(std::accumulate(bytes.begin(), bytes.end(), uint64_t{0}));
    state.SetBytesProcessed(static_cast<int64_t>(bytes.size()) * state.iterations());
}

// Reference: touching every byte of the file once.
void BM_ByteSum(benchmark::State& state, const std::string& name) {
    const auto bytes = ReadAll(ModelPath(name));
    if (bytes.empty()) {
        state.SkipWithError(("cannot read " + ModelPath(name).string()).c_str());
        return;
    }
    for (auto _ : state) {
        uint64_t sum = std::accumulate(bytes.begin(), bytes.end(), uint64_t{0});
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes.size()) * state.iterations());
}

}  // namespace

int main(int argc, char** argv) {
    for (const std::string name : {"faerie.md2", "sydney.md2", "knot.md2"}) {
        benchmark::RegisterBenchmark(("Load/" + name).c_str(), BM_Load, name)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Normals/" + name).c_str(), BM_Normals, name)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("ByteSum/" + name).c_str(), BM_ByteSum, name)->Unit(benchmark::kMicrosecond);
    }
    for (int mb : {1, 4}) {
        const std::string size = std::to_string(mb) + "MB";
        benchmark::RegisterBenchmark(("OpenHostile/" + size).c_str(), BM_OpenHostile, mb, false)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("OpenHostileFirstFrame/" + size).c_str(), BM_OpenHostile, mb, true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ByteSumHostile/" + size).c_str(), BM_ByteSumHostile, mb)
            ->Unit(benchmark::kMillisecond);
    }
    // One run is enough to see it; the 4 MB file would take minutes.
    benchmark::RegisterBenchmark("AllNormalsHostile/1MB", BM_AllNormalsHostile, 1)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
